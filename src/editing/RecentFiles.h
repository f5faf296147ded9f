#pragma once
// The worlds opened or saved last, newest first, kept in the settings store beside the five
// settings as "RecentFile1" .. "RecentFile10".

#include <cstddef>
#include <string>
#include <vector>

namespace gm {

class ISettingsStore;

class RecentFiles {
public:
    static constexpr std::size_t Limit = 10;

    // Puts the file first; an entry naming the same file goes, and the oldest beyond the limit.
    void Add(const std::u16string& fileName);
    void Remove(const std::u16string& fileName);
    const std::vector<std::u16string>& Files() const noexcept { return Files_; }

    // Empty and missing values are skipped; duplicates and entries beyond the limit are dropped.
    void Load(const ISettingsStore& store);
    // Writes all ten values (empty ones for unused places, since the store cannot delete).
    void Save(ISettingsStore& store) const;

    // Whether two names refer to the same file as far as text can tell: "\" and "/" alike, and
    // letter case ignored where the file system ignores it.
    static bool SameFile(const std::u16string& a, const std::u16string& b);

private:
    std::vector<std::u16string> Files_;
};

// The menu caption of entry index (from 0): "&1 name" .. "1&0 name", with "&" in the name doubled
// so that it is shown rather than taken as a shortcut mark.
std::u16string RecentCaption(std::size_t index, const std::u16string& fileName);

// Where Open and Save As start: the folder of the world open now, or else of the newest recent
// world whose folder still exists; empty when there is none.
std::u16string WorldDialogFolder(const std::u16string& worldFile, const RecentFiles& recent);

// The first world file (*.raw, any letter case) among dropped files, or empty.
std::u16string DroppedWorldFile(const std::vector<std::u16string>& files);

} // namespace gm
