#include "platform/QSettingsStore.h"

#include <QVariant>

#include <cstdint>
#include <limits>

#ifdef _WIN32
#include "foundation/WinApi.h"
#endif

namespace gm {

namespace {

QString Key(std::string_view name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// An INI file holds text only, so a number is right when all of its text is one.
std::optional<uint32_t> IniInt(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int32_t>::min() ||
        v > static_cast<qlonglong>(std::numeric_limits<uint32_t>::max()))
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

#ifdef _WIN32
constexpr wchar_t RegistryKeyPath[] = L"Software\\kwr\\SkyhaulGridmoor";

// QSettings reads REG_SZ, REG_EXPAND_SZ and REG_BINARY alike as text, and REG_DWORD_BIG_ENDIAN
// as a number, so the stored type is asked of the registry itself.
std::optional<DWORD> RegistryValueType(std::string_view name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RegistryKeyPath, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring valueName = Key(name).toStdWString();
    DWORD type = REG_NONE;
    const LSTATUS rc = RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, nullptr);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return type;
}
#endif

} // namespace

QSettingsStore::QSettingsStore()
    : Settings_(QStringLiteral("kwr"), QStringLiteral("SkyhaulGridmoor")) {
    // Per user only: no machine-wide or organisation-wide values behind the user's.
    Settings_.setFallbacksEnabled(false);
}

QSettingsStore::QSettingsStore(const QString& iniFile) : Settings_(iniFile, QSettings::IniFormat) {}

bool QSettingsStore::Registry() const {
#ifdef _WIN32
    return Settings_.format() == QSettings::NativeFormat;
#else
    return false;
#endif
}

std::optional<uint32_t> QSettingsStore::ReadInt(std::string_view name) const {
    const QVariant v = Settings_.value(Key(name));
    if (!v.isValid()) return std::nullopt;
#ifdef _WIN32
    if (Registry()) {
        if (RegistryValueType(name) != std::optional<DWORD>(REG_DWORD)) return std::nullopt;
        return static_cast<uint32_t>(v.toInt()); // QSettings reads a REG_DWORD as int
    }
#endif
    switch (v.typeId()) {
    case QMetaType::Int:
        return static_cast<uint32_t>(v.toInt());
    case QMetaType::UInt:
        return v.toUInt();
    case QMetaType::QString:
        return IniInt(v.toString());
    default:
        return std::nullopt;
    }
}

std::optional<std::u16string> QSettingsStore::ReadStr(std::string_view name) const {
    const QVariant v = Settings_.value(Key(name));
    if (!v.isValid() || v.typeId() != QMetaType::QString) return std::nullopt;
#ifdef _WIN32
    if (Registry() && RegistryValueType(name) != std::optional<DWORD>(REG_SZ)) return std::nullopt;
#endif
    return v.toString().toStdU16String();
}

void QSettingsStore::WriteInt(std::string_view name, uint32_t value) {
    // The registry takes an int as REG_DWORD (same bits); an INI file gets the unsigned text,
    // which reads back the same on any system.
    if (Registry())
        Settings_.setValue(Key(name), static_cast<int>(static_cast<int32_t>(value)));
    else
        Settings_.setValue(Key(name), static_cast<uint>(value));
    Settings_.sync();
}

void QSettingsStore::WriteStr(std::string_view name, const std::u16string& value) {
    Settings_.setValue(Key(name), QString::fromStdU16String(value));
    Settings_.sync();
}

} // namespace gm
