#include "editing/RecentFiles.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "editing/Settings.h"

namespace gm {

namespace {

std::string ValueName(std::size_t index) {
    return "RecentFile" + std::to_string(index + 1);
}

char16_t FoldChar(char16_t c) {
    if (c == u'\\') return u'/';
#ifdef _WIN32
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c - u'A' + u'a');
#endif
    return c;
}

bool EndsWithRaw(const std::u16string& name) {
    if (name.size() < 4) return false;
    std::u16string tail = name.substr(name.size() - 4);
    for (char16_t& c : tail)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return tail == u".raw";
}

} // namespace

bool RecentFiles::SameFile(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return FoldChar(x) == FoldChar(y); });
}

void RecentFiles::Add(const std::u16string& fileName) {
    if (fileName.empty()) return;
    Remove(fileName);
    Files_.insert(Files_.begin(), fileName);
    if (Files_.size() > Limit) Files_.resize(Limit);
}

void RecentFiles::Remove(const std::u16string& fileName) {
    std::erase_if(Files_, [&](const std::u16string& f) { return SameFile(f, fileName); });
}

void RecentFiles::Load(const ISettingsStore& store) {
    Files_.clear();
    for (std::size_t i = 0; i < Limit; ++i) {
        const std::optional<std::u16string> name = store.ReadStr(ValueName(i));
        if (!name || name->empty()) continue;
        const bool known = std::any_of(Files_.begin(), Files_.end(),
                                       [&](const std::u16string& f) { return SameFile(f, *name); });
        if (!known) Files_.push_back(*name);
    }
}

void RecentFiles::Save(ISettingsStore& store) const {
    for (std::size_t i = 0; i < Limit; ++i)
        store.WriteStr(ValueName(i), i < Files_.size() ? Files_[i] : std::u16string());
}

std::u16string RecentCaption(std::size_t index, const std::u16string& fileName) {
    const std::string number = std::to_string(index + 1);
    std::u16string caption;
    // The last digit is the mnemonic, so "10" reads "1&0".
    for (std::size_t i = 0; i < number.size(); ++i) {
        if (i + 1 == number.size()) caption += u'&';
        caption += static_cast<char16_t>(number[i]);
    }
    caption += u' ';
    for (const char16_t c : fileName) {
        if (c == u'&') caption += u'&';
        caption += c;
    }
    return caption;
}

std::u16string WorldDialogFolder(const std::u16string& worldFile, const RecentFiles& recent) {
    auto folderOf = [](const std::u16string& file) -> std::u16string {
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::path(file).parent_path();
        if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return {};
        return folder.u16string();
    };
    if (!worldFile.empty()) {
        if (std::u16string folder = folderOf(worldFile); !folder.empty()) return folder;
    }
    for (const std::u16string& file : recent.Files())
        if (std::u16string folder = folderOf(file); !folder.empty()) return folder;
    return {};
}

std::u16string DroppedWorldFile(const std::vector<std::u16string>& files) {
    for (const std::u16string& f : files)
        if (EndsWithRaw(f)) return f;
    return {};
}

} // namespace gm
