#pragma once
// The rows of the Unit Path dialog: every distinct description file name of the world's units
// once, sorted, each editable. OK renames the units from the names they had when the rows were
// taken, all at once, so exchanging two names really exchanges them.

#include <cstdint>
#include <string>
#include <vector>

namespace gm {

class UnitStore;

class UnitPathList {
public:
    // The names as the units hold them now (exact, case-sensitive comparison), in code-unit order.
    void Take(const UnitStore& units);
    void Clear();

    int32_t PathCount() const noexcept { return static_cast<int32_t>(OldPaths_.size()); }
    // Rows shown: one empty row when there are no names.
    int32_t RowCount() const noexcept { return PathCount() > 0 ? PathCount() : 1; }
    const std::vector<std::u16string>& OldPaths() const noexcept { return OldPaths_; }
    // The edited name of a row; empty for a row without a name.
    std::u16string NewPath(int32_t row) const;
    // Stores the text as typed. A row beyond the names is kept but never applied.
    void SetNewPath(int32_t row, const std::u16string& text);
    // Sets the row to the file's stored name relative to unitPath; false (nothing set) when there
    // are no names.
    bool Find(int32_t row, const std::u16string& fileName, const std::u16string& unitPath);
    // Renames every unit whose name is a row's old name to that row's new name, where the two
    // differ. Answers the number of units renamed.
    int32_t Apply(UnitStore& units) const;

private:
    std::vector<std::u16string> OldPaths_;
    std::vector<std::u16string> NewPaths_;
};

} // namespace gm
