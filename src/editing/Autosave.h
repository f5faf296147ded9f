#pragma once
// Automatic backups of unsaved work and the offer to restore one after a crash. Backups go into a
// per-user folder, never over the designer's own file; each world keeps its last few, named
// "<world>-<hash of its path>-<time>.raw" with a "<world>-<hash>.origin" file naming the world;
// an untitled world's key names the run ("untitled-<run id>"), so two editors keep apart. The
// run's record (RunRecord) lists the worlds it backed up, for the offer after a crash.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gm {

class RunRecord;
class WorldDoc;

struct AutosavePolicy {
    uint64_t IntervalMs = 3 * 60 * 1000; // the first backup this long after an unsaved change,
                                         // later ones at least this far apart
    uint64_t IdleMs = 5 * 1000;          // and only once the designer has paused this long
    std::size_t Keep = 5;                // backups kept per world
};

struct BackupResult {
    bool Written = false;
    std::string File;   // the backup written
    std::string Report; // the text to show: only for the first failure of a run of failures
};

class Autosave {
public:
    // runId: the run's own id (RunRecord::Id), for its untitled world's key.
    explicit Autosave(std::string folder, AutosavePolicy policy = {}, std::string runId = {});

    const std::string& Folder() const noexcept { return Folder_; }
    const AutosavePolicy& Policy() const noexcept { return Policy_; }
    void SetPolicy(const AutosavePolicy& policy) { Policy_ = policy; }

    // Polled by the window's timer with a steady clock in milliseconds. generation changes with
    // every change of the document (UndoStack::Generation); lastInputMs is the designer's last
    // key press or mouse action. True when a backup should be written now.
    bool Due(uint64_t nowMs, bool modified, uint64_t generation, uint64_t lastInputMs);
    // Writes a backup of the document and drops that world's backups beyond the policy's count.
    // wallMs (milliseconds since 1970) names the file. A failure is retried only after another
    // interval, and reported once until a backup succeeds again.
    BackupResult Write(WorldDoc& doc, uint64_t nowMs, uint64_t generation, int64_t wallMs);

    // Backups written from now on are listed in record (which outlives this object).
    void SetRecord(RunRecord* record) noexcept { Record_ = record; }
    // The work on this world was saved or discarded: the backups of it this object wrote go, and
    // this run no longer lists the world for an offer after a crash.
    void Retire(const std::u16string& worldFileName);

    // The backups of a world, oldest first (full paths).
    std::vector<std::string> BackupsOf(const std::u16string& worldFileName) const;
    std::string Key(const std::u16string& worldFileName) const {
        return WorldKey(worldFileName, RunId_);
    }
    // "<safe base name>-<8 hex digits of the path>"; "untitled-<runId>" (or "untitled").
    static std::string WorldKey(const std::u16string& worldFileName, const std::string& runId = {});
    static std::vector<std::string> BackupsOfKey(const std::string& folder, const std::string& key);
    // Removes a key's backups and its origin file.
    static void RemoveBackups(const std::string& folder, const std::string& key) noexcept;
    static std::string OriginFile(const std::string& folder, const std::string& key);

private:
    std::string Folder_;
    AutosavePolicy Policy_;
    std::string RunId_;
    RunRecord* Record_ = nullptr;
    std::vector<std::string> Written_; // the backups this object wrote and has not retired
    std::optional<uint64_t> WrittenGeneration_;
    std::optional<uint64_t> PendingSince_; // first poll that saw unbacked changes
    std::optional<uint64_t> LastAttempt_;
    bool FailureReported_ = false;
};

} // namespace gm
