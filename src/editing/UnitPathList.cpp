#include "editing/UnitPathList.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "foundation/QX_Str.h"
#include "world/UnitLoad.h"
#include "world/WorldUnit.h"

namespace gm {

void UnitPathList::Take(const UnitStore& units) {
    Clear();
    std::unordered_set<std::u16string> seen;
    for (const TgmWorldUnit* u : units.List())
        if (seen.insert(u->DescPath).second) OldPaths_.push_back(u->DescPath);
    // The names are distinct, so any correct sort gives the order of a pairwise exchange sort.
    std::sort(OldPaths_.begin(), OldPaths_.end(),
              [](const std::u16string& a, const std::u16string& b) { return CompareQX(a, b) < 0; });
    NewPaths_ = OldPaths_;
}

void UnitPathList::Clear() {
    OldPaths_.clear();
    NewPaths_.clear();
}

std::u16string UnitPathList::NewPath(int32_t row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= NewPaths_.size()) return {};
    return NewPaths_[static_cast<std::size_t>(row)];
}

void UnitPathList::SetNewPath(int32_t row, const std::u16string& text) {
    if (row < 0) return;
    const auto r = static_cast<std::size_t>(row);
    if (r >= NewPaths_.size()) NewPaths_.resize(r + 1);
    NewPaths_[r] = text;
}

bool UnitPathList::Find(int32_t row, const std::u16string& fileName,
                        const std::u16string& unitPath) {
    if (PathCount() == 0 || row < 0 || row >= PathCount()) return false;
    SetNewPath(row, UnitDescPathFromFile(fileName, unitPath));
    return true;
}

int32_t UnitPathList::Apply(UnitStore& units) const {
    std::unordered_map<std::u16string, std::u16string> renames;
    for (std::size_t i = 0; i < OldPaths_.size(); ++i)
        if (NewPaths_[i] != OldPaths_[i]) renames.emplace(OldPaths_[i], NewPaths_[i]);
    if (renames.empty()) return 0;
    int32_t renamed = 0;
    for (TgmWorldUnit* u : units.List()) {
        const auto it = renames.find(u->DescPath);
        if (it == renames.end()) continue;
        u->DescPath = it->second;
        ++renamed;
    }
    return renamed;
}

} // namespace gm
