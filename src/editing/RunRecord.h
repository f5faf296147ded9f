#pragma once
// Which running editor works on which world, kept in the backup folder, and the offers of
// backups that runs which died left behind. Each run holds "run-<id>.lock" locked while it lives
// (the system releases the lock when the process dies, however it dies) and lists in
// "run-<id>.worlds" the world it has open and the worlds whose backups it wrote and has not
// retired. A clean exit removes both files.

#include <string>
#include <vector>

#include "foundation/FileLock.h"

namespace gm {

class RunRecord {
public:
    // id: unique for this run (NewRunId).
    RunRecord(std::string folder, std::string id);
    ~RunRecord(); // a clean exit
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;

    // Takes the run's lock and writes its record. False (with the reason) when that is
    // impossible: backups are still written, but a crash of this run cannot be noticed.
    bool Begin(std::string* error = nullptr);
    // Removes the record, then lets go of the lock.
    void End() noexcept;
    bool Active() const noexcept { return Lock_.Held(); }
    const std::string& Id() const noexcept { return Id_; }

    // The key of the world open now (Autosave::Key); the record is written only on a change.
    void SetOpen(const std::string& key);
    // A backup of this world was written; after a crash it is offered.
    void AddBackup(const std::string& key);
    // This world's work was saved or discarded: its backups are no longer offered.
    void RemoveBackup(const std::string& key);

private:
    void Write() noexcept;
    std::string Folder_;
    std::string Id_;
    FileLockQX Lock_;
    std::string Open_;
    std::vector<std::string> Backups_;
};

// "<pid>-<16 hex digits>": apart from every other run, also after the system reuses the pid.
std::string NewRunId(int64_t pid);

struct RecoveryOffer {
    std::string Key;               // the world's key in backup names
    std::string Backup;            // its newest backup
    std::u16string Origin;         // the world's file; empty for an untitled world
    std::vector<std::string> Runs; // the dead runs that listed it
};

// The worlds that runs which died (their lock is free) had backups of, newest backup first, one
// offer per world. Left out: worlds saved since their backup (those are retired at once), worlds
// a live run has open or backs up, and the run ownRun itself.
std::vector<RecoveryOffer> RecoveryFind(const std::string& folder, const std::string& ownRun);
// The offer was made: the dead runs forget the world (a run with nothing left goes). retire
// (declined) also removes the world's backups, which are then never offered again.
void RecoveryDone(const std::string& folder, const RecoveryOffer& offer, bool retire) noexcept;

} // namespace gm
