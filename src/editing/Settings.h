#pragma once
// The editor's five per-user settings, the store they are kept in, and the Options dialog's rules
// for turning its texts into values. Read once at start-up; changed only through the dialog, which
// writes every value back at once.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace gm {

// Where settings are kept (the registry on Windows, an INI file elsewhere, memory in tests).
// Readers answer nullopt when the value is missing or stored with another type; writers report
// nothing, a failed write is simply lost.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // A 32-bit number (REG_DWORD); signed values come back as their bit pattern.
    virtual std::optional<uint32_t> ReadInt(std::string_view name) const = 0;
    // A plain string (REG_SZ).
    virtual std::optional<std::u16string> ReadStr(std::string_view name) const = 0;
    virtual void WriteInt(std::string_view name, uint32_t value) = 0;
    virtual void WriteStr(std::string_view name, const std::u16string& value) = 0;
};

// A store in memory. Put() can plant values of any kind, including a type neither reader accepts.
class MemorySettingsStore final : public ISettingsStore {
public:
    struct OtherType {}; // a value of a type the readers do not accept (e.g. an expandable string)
    using Value = std::variant<uint32_t, std::u16string, OtherType>;

    std::optional<uint32_t> ReadInt(std::string_view name) const override;
    std::optional<std::u16string> ReadStr(std::string_view name) const override;
    void WriteInt(std::string_view name, uint32_t value) override;
    void WriteStr(std::string_view name, const std::u16string& value) override;

    void Put(std::string_view name, Value value);
    const Value* Find(std::string_view name) const;
    std::size_t Size() const noexcept { return Values_.size(); }
    int WriteCount() const noexcept { return Writes_; }

private:
    std::map<std::string, Value, std::less<>> Values_;
    int Writes_ = 0;
};

// Directories used when none is stored.
struct SettingsDefaults {
    std::u16string UnitPath;
    std::u16string SkyhaulPath;

    // "c:" and "c:\Skyhaul", which only mean something on Windows.
    static SettingsDefaults WindowsDefaults();
    // The bundled examples: <base>/examples/units and <base>/examples/game.
    static SettingsDefaults Bundled(const std::u16string& base);
    // WindowsDefaults() on Windows, Bundled(base) elsewhere.
    static SettingsDefaults ForPlatform(const std::u16string& base);
};

// Value names in the store.
inline constexpr std::string_view SettingUnitPath = "UnitPath";
inline constexpr std::string_view SettingSkyhaulPath = "SkyhaulPath";
inline constexpr std::string_view SettingWLCount = "WLCount";
inline constexpr std::string_view SettingWLFront = "WLFront";
inline constexpr std::string_view SettingWLBack = "WLBack";
// The start folder chosen in Options; missing or empty: found at each start.
inline constexpr std::string_view SettingStartDir = "StartDir";
// The code page of 8-bit description text that is not UTF-8 (texts saved on Windows).
inline constexpr std::string_view SettingLegacyCodePage = "LegacyCodePage";

class Settings {
public:
    static constexpr int32_t WLCountDefault = 32;
    // The grid builder needs a sane division count: fewer than 8 looks broken and a negative one
    // would never finish; beyond 512 building and drawing the grid freezes the editor.
    static constexpr int32_t WLCountMin = 8;
    static constexpr int32_t WLCountMax = 512;
    static constexpr uint32_t WLFrontDefault = 0xC0FFFFFF; // white, alpha 192
    static constexpr uint32_t WLBackDefault = 0x00FFFFFF;  // white, alpha 0
    // Stored strings are read through a buffer of this many bytes (8-bit text and its terminator);
    // a longer value counts as absent.
    static constexpr std::size_t StrBufferBytes = 2048;

    std::u16string UnitPath = u"c:";             // base folder of unit description files
    std::u16string SkyhaulPath = u"c:\\Skyhaul"; // the game's installation folder
    int32_t WLCount = WLCountDefault;
    uint32_t WLFront = WLFrontDefault;
    uint32_t WLBack = WLBackDefault;
    std::u16string StartDir; // where "bg.jpg" and textures are looked up; empty: automatic
    std::u16string LegacyCodePage = u"Windows-1252"; // of 8-bit text that is not UTF-8

    // Reads all five values; anything missing, of the wrong type or too long gets its default.
    // The count is kept within WLCountMin..WLCountMax. Nothing is written.
    void Load(const ISettingsStore& store, const SettingsDefaults& defaults);

    void SaveUnitPath(ISettingsStore& store) const;
    void SaveSkyhaulPath(ISettingsStore& store) const;
    void SaveWLCount(ISettingsStore& store) const;
    void SaveWLFront(ISettingsStore& store) const;
    void SaveWLBack(ISettingsStore& store) const;
    void SaveStartDir(ISettingsStore& store) const;
    void SaveLegacyCodePage(ISettingsStore& store) const;
};

// --- The Options dialog's field rules ---

// Trimmed, trailing "\" and "/" removed, and ASCII letters lowered when foldCase is set.
std::u16string OptionsPathFromText(const std::u16string& text, bool foldCase);
// Whether directory texts are lower-cased: only where file names ignore case, since lowering a
// folder name elsewhere would point at a different folder.
bool OptionsFoldPathCase();

// The digits of the text (all other characters ignored), kept within WLCountMin..WLCountMax.
int32_t WLCountFromText(const std::u16string& text);

// "alpha,red,green,blue" in decimal, each 0 to 255.
std::u16string ColourToText(uint32_t colour);
// The first four comma-separated fields as alpha, red, green and blue, each cut to its low 8 bits;
// nullopt when there are fewer than four fields. Further fields are ignored.
std::optional<uint32_t> ColourFromText(const std::u16string& text);

// The start folder field shows the folder in use. nullopt while the text still names it (nothing
// is stored, so an automatic choice stays automatic); otherwise the folder to store, empty for
// "found at each start".
std::optional<std::u16string> StartDirFromText(const std::u16string& text,
                                               const std::u16string& inUse);

// The code page field: the trimmed name when the converter knows it, else nullopt (the dialog
// then says so and keeps the setting).
std::optional<std::u16string> LegacyCodePageFromText(const std::u16string& text);

// The five texts of the dialog's fields.
struct OptionsTexts {
    std::u16string UnitPath;
    std::u16string SkyhaulPath;
    std::u16string WLCount;
    std::u16string WLFront;
    std::u16string WLBack;
};

OptionsTexts OptionsTextsFrom(const Settings& settings);
// Takes the texts into the settings and writes each value to the store, in field order. A colour
// text with fewer than four fields leaves that colour and its stored value as they were.
void OptionsApply(const OptionsTexts& texts, Settings& settings, ISettingsStore& store,
                  bool foldPathCase = OptionsFoldPathCase());

} // namespace gm
