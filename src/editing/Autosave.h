#pragma once
// Automatic backups of unsaved work and the offer to restore one after a crash. Backups go into a
// per-user folder, never over the designer's own file; each world keeps its last few, named
// "<world>-<hash of its path>-<time>.raw" with a "<world>-<hash>.origin" file naming the world.
// A running editor leaves a session mark in the folder and removes it when it exits cleanly; a
// mark whose process is gone means the run ended in a crash.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gm {

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
    explicit Autosave(std::string folder, AutosavePolicy policy = {});

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

    // The backups of a world, oldest first (full paths).
    std::vector<std::string> BackupsOf(const std::u16string& worldFileName) const;
    // "<safe base name>-<8 hex digits of the path>", or "untitled".
    static std::string WorldKey(const std::u16string& worldFileName);

private:
    std::string Folder_;
    AutosavePolicy Policy_;
    std::optional<uint64_t> WrittenGeneration_;
    std::optional<uint64_t> PendingSince_; // first poll that saw unbacked changes
    std::optional<uint64_t> LastAttempt_;
    bool FailureReported_ = false;
};

// The mark of one running editor: "session-<pid>.mark" in the backup folder.
class SessionMark {
public:
    SessionMark(std::string folder, int64_t pid);
    ~SessionMark(); // ends the session: destruction is a clean exit
    SessionMark(const SessionMark&) = delete;
    SessionMark& operator=(const SessionMark&) = delete;

    // False (with the reason) when the mark cannot be written; backups then cannot be offered
    // after a crash of this run.
    bool Begin(std::string* error = nullptr);
    void End() noexcept;
    std::string File() const;

private:
    std::string Folder_;
    int64_t Pid_;
    bool Active_ = false;
};

struct RecoveryOffer {
    bool Found = false;
    std::string Backup;    // the newest backup newer than its world's file
    std::u16string Origin; // that world's file; empty for an untitled world
    // Marks of runs that ended without a clean exit; RecoveryForget removes them.
    std::vector<std::string> StaleMarks;
};

// Looks for marks of other runs whose process is gone (alive answers for a process id); when
// there is one, offers the newest backup that is newer than the file it copies (or whose world
// was untitled or has vanished). Nothing is offered after clean exits.
RecoveryOffer RecoveryFind(const std::string& folder, int64_t ownPid,
                           const std::function<bool(int64_t)>& alive);
// Removes the stale marks so that the offer is made once, whatever the answer.
void RecoveryForget(const RecoveryOffer& offer) noexcept;

} // namespace gm
