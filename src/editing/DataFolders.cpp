#include "editing/DataFolders.h"

#include <filesystem>
#include <system_error>

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"

#ifdef _WIN32
#include "foundation/WinApi.h"
#endif

namespace gm {

namespace fs = std::filesystem;

namespace {

bool IsDir(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

std::u16string Clean(const fs::path& p) {
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    if (ec) abs = p;
    return abs.lexically_normal().u16string();
}

std::u16string StripSlashes(std::u16string path) {
    while (path.size() > 1 && (path.back() == u'/' || path.back() == u'\\'))
        path.pop_back();
    return path;
}

} // namespace

std::u16string ExecutableFolder() {
#ifdef _WIN32
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0 || n >= buffer.size()) return {};
    buffer.resize(n);
    return fs::path(buffer).parent_path().u16string();
#else
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path().u16string();
#endif
}

std::optional<std::u16string> BundledDataFolder(const std::u16string& exeFolder) {
    if (exeFolder.empty()) return std::nullopt;
    const fs::path exe(exeFolder);
    for (const fs::path& candidate : {exe / ".." / "share" / "gridmoor", exe / "gridmoor-data"}) {
        if (IsDir(candidate / "units")) return Clean(candidate);
    }
    return std::nullopt;
}

std::string BundledUnitFolder() {
    const std::optional<std::u16string> bundled = BundledDataFolder(ExecutableFolder());
    if (!bundled)
        RaiseQX("No unit folder given, and no bundled example units beside the program: give "
                "--unit-path DIR");
    return WideToAnsiQX((fs::path(*bundled) / "units").u16string());
}

std::u16string StartFolderAutomatic(const StartFolderChoice& choice) {
    if (IsFile(fs::path(choice.Current) / "bg.jpg") || !choice.Bundled) return choice.Current;
    return *choice.Bundled;
}

std::u16string StartFolderChoose(const StartFolderChoice& choice) {
    if (!choice.ForRun.empty()) return StripSlashes(Clean(fs::path(choice.ForRun)));
    if (!choice.Stored.empty()) return StripSlashes(choice.Stored);
    return StartFolderAutomatic(choice);
}

SettingsDefaults FirstStartDefaults(const std::optional<std::u16string>& bundled,
                                    const std::u16string& userData) {
    if (!bundled) return SettingsDefaults::WindowsDefaults();
    const std::u16string units = (fs::path(*bundled) / "units").u16string();
    if (userData.empty()) return {units, (fs::path(*bundled) / "game").u16string()};
    return {units, (fs::path(userData) / "game").u16string()};
}

std::string UserGameFolderEnsure(const std::optional<std::u16string>& bundled,
                                 const std::u16string& gameFolder) {
    if (!bundled || gameFolder.empty()) return {};
    const fs::path target(gameFolder);
    std::error_code ec;
    if (fs::exists(target, ec)) return {};
    const fs::path source = fs::path(*bundled) / "game";
    if (!IsDir(source)) return {};
    // Copy into a sibling first, so that an interrupted copy is never taken for a game folder.
    const fs::path partial = target.parent_path() / (target.filename().string() + ".partial");
    fs::remove_all(partial, ec);
    fs::create_directories(partial.parent_path(), ec);
    if (!ec) fs::copy(source, partial, fs::copy_options::recursive, ec);
    if (!ec) fs::rename(partial, target, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove_all(partial, ec);
        return "Cannot make the game folder " + target.string() + " (" + why +
               "); choose one in Options > Options";
    }
    return {};
}

} // namespace gm
