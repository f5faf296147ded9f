#include "editing/Settings.h"

#include "foundation/Codec.h"
#include "foundation/LegacyText.h"
#include "foundation/QX_Str.h"

#include <algorithm>

namespace gm {

// ---------------------------------------------------------------------------------------------
// MemorySettingsStore

const MemorySettingsStore::Value* MemorySettingsStore::Find(std::string_view name) const {
    const auto it = Values_.find(name);
    return it == Values_.end() ? nullptr : &it->second;
}

std::optional<uint32_t> MemorySettingsStore::ReadInt(std::string_view name) const {
    const Value* v = Find(name);
    if (v == nullptr || !std::holds_alternative<uint32_t>(*v)) return std::nullopt;
    return std::get<uint32_t>(*v);
}

std::optional<std::u16string> MemorySettingsStore::ReadStr(std::string_view name) const {
    const Value* v = Find(name);
    if (v == nullptr || !std::holds_alternative<std::u16string>(*v)) return std::nullopt;
    return std::get<std::u16string>(*v);
}

void MemorySettingsStore::WriteInt(std::string_view name, uint32_t value) {
    Put(name, value);
    ++Writes_;
}

void MemorySettingsStore::WriteStr(std::string_view name, const std::u16string& value) {
    Put(name, value);
    ++Writes_;
}

void MemorySettingsStore::Put(std::string_view name, Value value) {
    Values_.insert_or_assign(std::string(name), std::move(value));
}

// ---------------------------------------------------------------------------------------------
// Defaults

SettingsDefaults SettingsDefaults::WindowsDefaults() {
    return {u"c:", u"c:\\Skyhaul"};
}

SettingsDefaults SettingsDefaults::Bundled(const std::u16string& base) {
    std::u16string root = base;
    while (!root.empty() && (root.back() == u'/' || root.back() == u'\\'))
        root.pop_back();
    return {root + u"/examples/units", root + u"/examples/game"};
}

SettingsDefaults SettingsDefaults::ForPlatform([[maybe_unused]] const std::u16string& base) {
#ifdef _WIN32
    return WindowsDefaults();
#else
    return Bundled(base);
#endif
}

// ---------------------------------------------------------------------------------------------
// Settings

namespace {

int32_t ClampCount(int64_t n) {
    return static_cast<int32_t>(std::clamp<int64_t>(n, Settings::WLCountMin, Settings::WLCountMax));
}

std::u16string ReadStrOr(const ISettingsStore& store, std::string_view name,
                         const std::u16string& fallback) {
    const std::optional<std::u16string> s = store.ReadStr(name);
    // The limit is on the 8-bit form, so a short wide string of multi-byte characters can exceed
    // it.
    if (!s || WideToAnsiQX(*s).size() + 1 > Settings::StrBufferBytes) return fallback;
    return *s;
}

} // namespace

void Settings::Load(const ISettingsStore& store, const SettingsDefaults& defaults) {
    UnitPath = ReadStrOr(store, SettingUnitPath, defaults.UnitPath);
    SkyhaulPath = ReadStrOr(store, SettingSkyhaulPath, defaults.SkyhaulPath);
    const std::optional<uint32_t> count = store.ReadInt(SettingWLCount);
    WLCount = count ? ClampCount(static_cast<int32_t>(*count)) : WLCountDefault;
    WLFront = store.ReadInt(SettingWLFront).value_or(WLFrontDefault);
    WLBack = store.ReadInt(SettingWLBack).value_or(WLBackDefault);
    StartDir = ReadStrOr(store, SettingStartDir, u"");
    LegacyCodePage = ReadStrOr(store, SettingLegacyCodePage, u"Windows-1252");
    if (LegacyCodePage.empty()) LegacyCodePage = u"Windows-1252";
}

void Settings::SaveUnitPath(ISettingsStore& store) const {
    store.WriteStr(SettingUnitPath, UnitPath);
}

void Settings::SaveSkyhaulPath(ISettingsStore& store) const {
    store.WriteStr(SettingSkyhaulPath, SkyhaulPath);
}

void Settings::SaveWLCount(ISettingsStore& store) const {
    store.WriteInt(SettingWLCount, static_cast<uint32_t>(WLCount));
}

void Settings::SaveWLFront(ISettingsStore& store) const {
    store.WriteInt(SettingWLFront, WLFront);
}

void Settings::SaveWLBack(ISettingsStore& store) const {
    store.WriteInt(SettingWLBack, WLBack);
}

void Settings::SaveStartDir(ISettingsStore& store) const {
    store.WriteStr(SettingStartDir, StartDir);
}

void Settings::SaveLegacyCodePage(ISettingsStore& store) const {
    store.WriteStr(SettingLegacyCodePage, LegacyCodePage);
}

// ---------------------------------------------------------------------------------------------
// Options dialog rules

bool OptionsFoldPathCase() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

std::u16string OptionsPathFromText(const std::u16string& text, bool foldCase) {
    const std::u16string path = PathNoSlashQX(text);
    return foldCase ? LowerQX(path) : path;
}

int32_t WLCountFromText(const std::u16string& text) {
    return ClampCount(StrToUIntQX(text));
}

std::u16string ColourToText(uint32_t colour) {
    std::u16string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!s.empty()) s += u',';
        s += IntToWideQX((colour >> shift) & 0xFFu);
    }
    return s;
}

std::optional<uint32_t> ColourFromText(const std::u16string& text) {
    if (GetCountParQX(text, u",") < 4) return std::nullopt;
    uint32_t colour = 0;
    for (int i = 0; i < 4; ++i)
        colour = (colour << 8) | (StrToUIntQX(GetStrParQX(text, i, u",")) & 0xFFu);
    return colour;
}

OptionsTexts OptionsTextsFrom(const Settings& settings) {
    return {settings.UnitPath, settings.SkyhaulPath, IntToWideQX(settings.WLCount),
            ColourToText(settings.WLFront), ColourToText(settings.WLBack)};
}

std::optional<std::u16string> StartDirFromText(const std::u16string& text,
                                               const std::u16string& inUse) {
    // Folder names keep their case: lowering one would name another folder.
    std::u16string dir = OptionsPathFromText(text, false);
    if (dir == OptionsPathFromText(inUse, false)) return std::nullopt;
    return dir;
}

std::optional<std::u16string> LegacyCodePageFromText(const std::u16string& text) {
    std::u16string name = TrimQX(text);
    if (name.empty() || !LegacyCodePageKnownQX(WideToAnsiQX(name))) return std::nullopt;
    return name;
}

void OptionsApply(const OptionsTexts& texts, Settings& settings, ISettingsStore& store,
                  bool foldPathCase) {
    settings.UnitPath = OptionsPathFromText(texts.UnitPath, foldPathCase);
    settings.SaveUnitPath(store);
    settings.SkyhaulPath = OptionsPathFromText(texts.SkyhaulPath, foldPathCase);
    settings.SaveSkyhaulPath(store);
    settings.WLCount = WLCountFromText(texts.WLCount);
    settings.SaveWLCount(store);
    if (const std::optional<uint32_t> front = ColourFromText(texts.WLFront)) {
        settings.WLFront = *front;
        settings.SaveWLFront(store);
    }
    if (const std::optional<uint32_t> back = ColourFromText(texts.WLBack)) {
        settings.WLBack = *back;
        settings.SaveWLBack(store);
    }
}

} // namespace gm
