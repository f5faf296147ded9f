#include "world/UnitLoad.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "foundation/Codec.h"
#include "foundation/QX_Str.h"
#include "world/WorldUnit.h"

namespace gm {

namespace fs = std::filesystem;

namespace {

// The path made absolute and free of "." and ".." steps, with "/" between components. Both "\"
// and "/" separate, as in every stored name.
fs::path CleanAbsolute(const std::u16string& name) {
    std::u16string s = PathNoSlashQX(name);
    std::replace(s.begin(), s.end(), u'\\', u'/');
    fs::path p(s);
    if (!p.is_absolute()) {
        std::error_code ec;
        const fs::path abs = fs::absolute(p, ec);
        if (!ec) p = abs;
    }
    return p.lexically_normal();
}

bool SameRootName(const fs::path& a, const fs::path& b) {
    return LowerQX(a.root_name().generic_u16string()) == LowerQX(b.root_name().generic_u16string());
}

} // namespace

std::u16string UnitDescPathFromFile(const std::u16string& fileName,
                                    const std::u16string& unitPath) {
    const fs::path file = CleanAbsolute(fileName);
    std::u16string result = LowerQX(PathNoSlashQX(file.generic_u16string()));
    // Without a folder, or across drives, "..\" steps cannot reach the file; the absolute name
    // still opens, since a stored absolute name ignores the folder.
    const std::u16string base = PathNoSlashQX(unitPath);
    if (!base.empty()) {
        const fs::path folder = CleanAbsolute(base);
        if (SameRootName(file, folder)) {
            const std::u16string rel =
                RelativePathQX(result, PathNoSlashQX(folder.generic_u16string()));
            if (!rel.empty()) result = rel;
        }
    }
#ifdef _WIN32
    const std::size_t keep = 0;
#else
    // The root stays "/": a leading "\" would make the name relative to the folder again.
    const std::size_t keep = !result.empty() && result[0] == u'/' ? 1 : 0;
#endif
    std::replace(result.begin() + static_cast<std::ptrdiff_t>(keep), result.end(), u'/', u'\\');
    return result;
}

UnitLoadResult UnitLoadAtPick(UnitStore& units, const std::u16string& unitPath,
                              const std::u16string& fileName, const TSpherePick& pick) {
    UnitLoadResult result;
    if (!pick.Found) return result;
    result.DescPath = UnitDescPathFromFile(fileName, unitPath);
    units.UnitPath = WideToAnsiQX(unitPath);
    result.Unit = units.UnitCreateAt(result.DescPath, pick.Longitude, pick.Polar, &result.Reason);
    result.Status = result.Unit ? UnitLoadResult::Outcome::Placed : UnitLoadResult::Outcome::Failed;
    return result;
}

} // namespace gm
