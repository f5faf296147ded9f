#pragma once
// The settings store over QSettings: the registry key HKCU\Software\kwr\SkyhaulGridmoor on Windows
// (strings as REG_SZ, numbers as REG_DWORD), an INI file in the user's config folder elsewhere.
//
// Type rule: a value stored with the wrong type reads as absent. In the registry a number must be
// a REG_DWORD and a string a REG_SZ (REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY... are refused). An
// INI file keeps only text, so there a number is of the right type when its whole text (spaces
// around it aside) is a decimal integer within -2^31..2^32-1, and a string is any single text
// value (not a comma-separated list, which QSettings reads as a list).

#include "editing/Settings.h"

#include <QSettings>
#include <QString>

namespace gm {

class QSettingsStore final : public ISettingsStore {
public:
    // The user's settings: QSettings("kwr", "SkyhaulGridmoor") in the native format.
    QSettingsStore();
    // An INI file at the given path (tests, portable set-ups).
    explicit QSettingsStore(const QString& iniFile);

    std::optional<uint32_t> ReadInt(std::string_view name) const override;
    std::optional<std::u16string> ReadStr(std::string_view name) const override;
    // Each write reaches the file or registry before returning; failures are ignored.
    void WriteInt(std::string_view name, uint32_t value) override;
    void WriteStr(std::string_view name, const std::u16string& value) override;

    QString FileName() const { return Settings_.fileName(); }

private:
    // Whether values carry registry types (Windows registry) rather than plain INI text.
    bool Registry() const;

    QSettings Settings_;
};

} // namespace gm
