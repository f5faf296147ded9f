#pragma once
// An exclusive lock on a file, held by an open handle: the system releases it when the holder
// closes it or dies, so a crashed process never leaves a lock behind. Locks taken through two
// FileLockQX objects exclude each other also within one process.

#include <string>

namespace gm {

class FileLockQX {
public:
    explicit FileLockQX(std::string fileName) : FileName_(std::move(fileName)) {}
    ~FileLockQX() { Unlock(); }
    FileLockQX(const FileLockQX&) = delete;
    FileLockQX& operator=(const FileLockQX&) = delete;

    // Creates the file when needed and takes the lock without waiting. False when another holder
    // has it; a file that cannot be created or locked raises ErrorQX ("FileLockQX.Lock.").
    bool TryLock();
    // Tries until waitMs have passed.
    bool Lock(int waitMs);
    // Releases the lock; with removeFile the file goes first, while it is still held.
    void Unlock(bool removeFile = false) noexcept;
    bool Held() const noexcept { return Held_; }
    const std::string& FileName() const noexcept { return FileName_; }

private:
    std::string FileName_;
    bool Held_ = false;
#ifdef _WIN32
    void* Handle_ = nullptr;
#else
    int Fd_ = -1;
#endif
};

} // namespace gm
