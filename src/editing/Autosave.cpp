#include "editing/Autosave.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "editing/RunRecord.h"
#include "foundation/Codec.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"
#include "foundation/QX_Str.h"
#include "world/WorldDoc.h"

namespace gm {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t StampDigits = 14;

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "<key>-<digits>.raw" of exactly this key: the key's own backups and nothing the designer named.
bool IsBackupOf(const std::string& name, const std::string& key) {
    const std::string prefix = key + "-";
    if (!StartsWith(name, prefix) || !EndsWith(name, ".raw")) return false;
    return AllDigits(name.substr(prefix.size(), name.size() - prefix.size() - 4));
}

bool SamePlace(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec) && !ec;
}

} // namespace

// --- Autosave ---

Autosave::Autosave(std::string folder, AutosavePolicy policy, std::string runId)
    : Folder_(std::move(folder)), Policy_(policy), RunId_(std::move(runId)) {}

std::string Autosave::OriginFile(const std::string& folder, const std::string& key) {
    return (fs::path(folder) / (key + ".origin")).string();
}

std::string Autosave::WorldKey(const std::u16string& worldFileName, const std::string& runId) {
    if (worldFileName.empty()) return runId.empty() ? "untitled" : "untitled-" + runId;
    std::string base;
    for (const char16_t c : FileBaseNameQX(worldFileName)) {
        const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'_';
        base += safe ? static_cast<char>(c) : '_';
        if (base.size() == 40) break;
    }
    if (base.empty()) base = "world";
    // Worlds of one name in different folders keep apart; FNV-1a over the path as the file
    // system sees it.
    uint32_t hash = 2166136261u;
    for (char16_t c : worldFileName) {
        if (c == u'\\') c = u'/';
#ifdef _WIN32
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
#endif
        hash = (hash ^ c) * 16777619u;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", hash);
    return base + "-" + hex;
}

std::vector<std::string> Autosave::BackupsOf(const std::u16string& worldFileName) const {
    return BackupsOfKey(Folder_, Key(worldFileName));
}

std::vector<std::string> Autosave::BackupsOfKey(const std::string& folder, const std::string& key) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (IsBackupOf(name, key)) names.push_back(e.path().string());
    }
    // Fixed-width times: name order is time order.
    std::sort(names.begin(), names.end());
    return names;
}

void Autosave::RemoveBackups(const std::string& folder, const std::string& key) noexcept {
    try {
        for (const std::string& file : BackupsOfKey(folder, key)) {
            std::error_code ec;
            fs::remove(file, ec);
        }
        std::error_code ec;
        fs::remove(OriginFile(folder, key), ec);
    } catch (const std::exception&) {
        // A backup left behind is no longer listed by any run, so it is never offered.
    }
}

void Autosave::Retire(const std::u16string& worldFileName) {
    const std::string key = Key(worldFileName);
    if (Record_) Record_->RemoveBackup(key);
    // Only this run's own: another editor may be working on the same world.
    std::vector<std::string> left;
    for (const std::string& file : Written_) {
        if (!IsBackupOf(fs::path(file).filename().string(), key)) {
            left.push_back(file);
            continue;
        }
        std::error_code ec;
        fs::remove(file, ec);
    }
    Written_ = std::move(left);
}

bool Autosave::Due(uint64_t nowMs, bool modified, uint64_t generation, uint64_t lastInputMs) {
    if (!modified || WrittenGeneration_ == generation) {
        PendingSince_.reset();
        return false;
    }
    if (!PendingSince_) PendingSince_ = nowMs;
    if (nowMs - *PendingSince_ < Policy_.IntervalMs) return false;
    if (LastAttempt_ && nowMs - *LastAttempt_ < Policy_.IntervalMs) return false;
    return nowMs >= lastInputMs && nowMs - lastInputMs >= Policy_.IdleMs;
}

BackupResult Autosave::Write(WorldDoc& doc, uint64_t nowMs, uint64_t generation, int64_t wallMs) {
    BackupResult result;
    LastAttempt_ = nowMs;
    const std::string key = Key(doc.WorldFileName);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%0*lld", static_cast<int>(StampDigits),
                  static_cast<long long>(std::max<int64_t>(wallMs, 0)));
    const fs::path target = fs::path(Folder_) / (key + "-" + stamp + ".raw");
    // Listed first: a crash right after the backup is written still finds it.
    if (Record_) Record_->AddBackup(key);
    try {
        if (Folder_.empty()) RaiseQX("no backup folder");
        std::error_code ec;
        fs::create_directories(Folder_, ec);
        if (ec) RaiseQX("cannot create the folder \"" + Folder_ + "\": " + ec.message());
        if (!doc.WorldFileName.empty() &&
            SamePlace(target, fs::path(WideToAnsiQX(doc.WorldFileName))))
            RaiseQX("the backup would replace the world's own file");
        TBufQX buf;
        doc.WorldWrite(buf);
        buf.SaveToFile(target.string());
        const std::string origin = WideToAnsiQX(doc.WorldFileName);
        SaveFileAtomicQX(OriginFile(Folder_, key), origin.data(),
                         static_cast<int32_t>(origin.size()));
    } catch (const ErrorQX& e) {
        if (!PendingSince_) PendingSince_ = nowMs;
        if (!FailureReported_)
            result.Report = "The automatic backup could not be written (" + e.Message() +
                            "). Save the world yourself to keep your changes.";
        FailureReported_ = true;
        return result;
    }
    FailureReported_ = false;
    WrittenGeneration_ = generation;
    PendingSince_.reset();
    result.Written = true;
    result.File = target.string();
    Written_.push_back(result.File);

    std::vector<std::string> backups = BackupsOf(doc.WorldFileName);
    const std::size_t keep = std::max<std::size_t>(Policy_.Keep, 1);
    for (std::size_t i = 0; i + keep < backups.size(); ++i) {
        std::error_code ec;
        fs::remove(backups[i], ec); // one left behind is retried with the next backup
    }
    std::erase_if(Written_, [](const std::string& file) {
        std::error_code ec;
        return !fs::exists(file, ec);
    });
    return result;
}

} // namespace gm
