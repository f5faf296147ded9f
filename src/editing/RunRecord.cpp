#include "editing/RunRecord.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <system_error>

#include "editing/Autosave.h"
#include "foundation/Codec.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"

namespace gm {

namespace fs = std::filesystem;

namespace {

constexpr const char* RunPrefix = "run-";
constexpr const char* LockSuffix = ".lock";
constexpr const char* ListSuffix = ".worlds";
// Lines of the list: "open <key>" (at most one) and "backup <key>".
constexpr const char* OpenTag = "open ";
constexpr const char* BackupTag = "backup ";

std::string RunFile(const std::string& folder, const std::string& id, const char* suffix) {
    return (fs::path(folder) / (RunPrefix + id + suffix)).string();
}

std::string ReadText(const std::string& file) {
    try {
        TBufQX buf;
        buf.LoadFromFile(file);
        return {reinterpret_cast<const char*>(buf.Data), static_cast<std::size_t>(buf.Len)};
    } catch (const ErrorQX&) {
        return {};
    }
}

struct RunList {
    std::string Open;
    std::vector<std::string> Backups;
};

RunList ReadList(const std::string& file) {
    RunList list;
    const std::string text = ReadText(file);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.rfind(OpenTag, 0) == 0)
            list.Open = line.substr(std::string(OpenTag).size());
        else if (line.rfind(BackupTag, 0) == 0)
            list.Backups.push_back(line.substr(std::string(BackupTag).size()));
    }
    return list;
}

void WriteList(const std::string& file, const RunList& list) {
    std::string text;
    if (!list.Open.empty()) text += OpenTag + list.Open + "\n";
    for (const std::string& key : list.Backups)
        text += BackupTag + key + "\n";
    SaveFileAtomicQX(file, text.data(), static_cast<int32_t>(text.size()));
}

std::optional<fs::file_time_type> WriteTime(const std::string& file) {
    std::error_code ec;
    const fs::file_time_type t = fs::last_write_time(file, ec);
    if (ec) return std::nullopt;
    return t;
}

// The runs whose records lie in the folder, by id.
std::vector<std::string> RunIds(const std::string& folder) {
    std::vector<std::string> ids;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        const std::string prefix = RunPrefix, suffix = LockSuffix;
        if (name.size() > prefix.size() + suffix.size() && name.rfind(prefix, 0) == 0 &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            ids.push_back(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Whether the run has died: its lock is free. Runs that have only just made the lock file hold
// it before they write their list, so a free lock without a list is left alone.
bool RunDead(const std::string& folder, const std::string& id) {
    FileLockQX lock(RunFile(folder, id, LockSuffix));
    try {
        return lock.TryLock();
    } catch (const ErrorQX&) {
        return false;
    }
}

} // namespace

// --- RunRecord ---

std::string NewRunId(int64_t pid) {
    std::random_device rd;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%08x%08x", rd(), rd());
    return std::to_string(pid) + "-" + hex;
}

RunRecord::RunRecord(std::string folder, std::string id)
    : Folder_(std::move(folder)), Id_(std::move(id)), Lock_(RunFile(Folder_, Id_, LockSuffix)) {}

RunRecord::~RunRecord() {
    End();
}

bool RunRecord::Begin(std::string* error) {
    try {
        std::error_code ec;
        fs::create_directories(Folder_, ec);
        if (ec) RaiseQX("cannot create the folder \"" + Folder_ + "\": " + ec.message());
        if (!Lock_.TryLock()) RaiseQX("the run's lock " + Lock_.FileName() + " is held");
        WriteList(RunFile(Folder_, Id_, ListSuffix), {Open_, Backups_});
    } catch (const ErrorQX& e) {
        Lock_.Unlock();
        if (error) *error = e.Message();
        return false;
    }
    return true;
}

void RunRecord::End() noexcept {
    if (!Lock_.Held()) return;
    std::error_code ec;
    fs::remove(RunFile(Folder_, Id_, ListSuffix), ec);
    Lock_.Unlock(true);
}

void RunRecord::Write() noexcept {
    if (!Lock_.Held()) return;
    try {
        WriteList(RunFile(Folder_, Id_, ListSuffix), {Open_, Backups_});
    } catch (const ErrorQX&) {
        // The backup's own write reports a folder that cannot be written.
    }
}

void RunRecord::SetOpen(const std::string& key) {
    if (key == Open_) return;
    Open_ = key;
    Write();
}

void RunRecord::AddBackup(const std::string& key) {
    if (std::find(Backups_.begin(), Backups_.end(), key) != Backups_.end()) return;
    Backups_.push_back(key);
    Write();
}

void RunRecord::RemoveBackup(const std::string& key) {
    const auto at = std::find(Backups_.begin(), Backups_.end(), key);
    if (at == Backups_.end()) return;
    Backups_.erase(at);
    Write();
}

// --- Recovery ---

std::vector<RecoveryOffer> RecoveryFind(const std::string& folder, const std::string& ownRun) {
    std::set<std::string> held;
    std::map<std::string, std::vector<std::string>> deadRunsOf; // world key -> dead runs
    for (const std::string& id : RunIds(folder)) {
        if (id == ownRun) continue;
        const std::string listFile = RunFile(folder, id, ListSuffix);
        if (!fs::exists(listFile)) continue;
        const RunList list = ReadList(listFile);
        if (RunDead(folder, id)) {
            for (const std::string& key : list.Backups)
                deadRunsOf[key].push_back(id);
        } else {
            if (!list.Open.empty()) held.insert(list.Open);
            held.insert(list.Backups.begin(), list.Backups.end());
        }
    }
    std::vector<std::pair<fs::file_time_type, RecoveryOffer>> found;
    for (const auto& [key, runs] : deadRunsOf) {
        if (held.count(key)) continue;
        const std::vector<std::string> backups = Autosave::BackupsOfKey(folder, key);
        RecoveryOffer offer{key, {}, {}, runs};
        const std::optional<fs::file_time_type> backupTime =
            backups.empty() ? std::nullopt : WriteTime(backups.back());
        if (!backupTime) {
            RecoveryDone(folder, offer, false); // nothing left to offer
            continue;
        }
        offer.Backup = backups.back();
        offer.Origin = AnsiToWideQX(ReadText(Autosave::OriginFile(folder, key)));
        // An origin file that does not lead back to its key was not written by a backup.
        const bool untitled = offer.Origin.empty() && key.rfind("untitled", 0) == 0;
        if (!untitled && Autosave::WorldKey(offer.Origin) != key) continue;
        if (!offer.Origin.empty()) {
            const std::optional<fs::file_time_type> saved = WriteTime(WideToAnsiQX(offer.Origin));
            if (saved && *saved >= *backupTime) { // saved since: nothing to restore
                RecoveryDone(folder, offer, true);
                continue;
            }
        }
        found.emplace_back(*backupTime, std::move(offer));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<RecoveryOffer> offers;
    for (auto& f : found)
        offers.push_back(std::move(f.second));
    return offers;
}

void RecoveryDone(const std::string& folder, const RecoveryOffer& offer, bool retire) noexcept {
    for (const std::string& id : offer.Runs) {
        const std::string listFile = RunFile(folder, id, ListSuffix);
        FileLockQX lock(RunFile(folder, id, LockSuffix));
        try {
            if (!lock.TryLock()) continue; // came back to life: the id is unique, so never
            RunList list = ReadList(listFile);
            list.Backups.erase(std::remove(list.Backups.begin(), list.Backups.end(), offer.Key),
                               list.Backups.end());
            if (list.Backups.empty()) {
                std::error_code ec;
                fs::remove(listFile, ec);
                lock.Unlock(true);
            } else {
                WriteList(listFile, list);
            }
        } catch (const ErrorQX&) {
            // Left as it was: offered again at the next start.
        }
    }
    if (retire) Autosave::RemoveBackups(folder, offer.Key);
}

} // namespace gm
