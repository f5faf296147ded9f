#pragma once
// Thin wrapper round an operating-system file handle; every failure raises ErrorQX with a message
// that quotes FileName.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gm {

class TFileQX {
public:
    int32_t OpenCount = 0;
    std::string FileName; // 8-bit, system code page

    TFileQX() = default;
    explicit TFileQX(std::string fileName) : FileName(std::move(fileName)) {}
    TFileQX(const TFileQX&) = delete;
    TFileQX& operator=(const TFileQX&) = delete;
    ~TFileQX();

    bool IsOpen() const noexcept { return Handle_ != InvalidHandle; }

    void Clear();
    void SetFileName(const std::string& name);
    // Existing file, read-write; nested opens share the handle. "TFileQX.Open. FileName=" name
    void Open();
    // Existing file, read-only with read sharing; nests like Open. Loading uses this so that
    // read-only files load. Same failure message as Open.
    void OpenRead();
    // Creates or truncates, read-write; OpenCount becomes 1. "TFileQX.CreateNew. FileName=" name
    void CreateNew();
    void Close();
    int32_t GetSize();
    int32_t SetPointer(int32_t distance, int origin); // origin: 0 start, 1 current, 2 end
    int32_t GetPointer();
    void Read(void* block, int32_t n);
    void Write(const void* block, int32_t n);

private:
#ifdef _WIN32
    using HandleType = void*;
    static inline const HandleType InvalidHandle = nullptr;
#else
    using HandleType = int;
    static constexpr HandleType InvalidHandle = -1;
#endif
    HandleType Handle_ = InvalidHandle;
    void OpenWith(bool readOnly);
    void CloseOsHandle() noexcept;
};

// The system's text for an error code (errno; GetLastError on Windows), e.g. "No such file or
// directory". Every file error ends with it in brackets.
std::string SystemReasonQX(int code);
// "TFileQX." operation ". FileName=" name " (" reason ")"
[[noreturn]] void RaiseFileQX(const char* operation, const std::string& fileName, int code);
// "TFileQX.Write. FileName=" name " kolbyte=" n " (" reason ")"
[[noreturn]] void RaiseWriteQX(const std::string& fileName, int64_t n, int code);
// Makes a write past the process's file-size limit fail with a reason instead of ending the
// program by signal; programs call it once at start.
void IgnoreFileSizeSignalQX();

// Writes a whole file so that the target is either fully replaced or untouched: the bytes go to a
// temporary file in the target's folder, which then replaces the target atomically. A target the
// user may not write (or one without any write permission) is refused; a replaced file keeps its
// mode and owner; a symbolic link is written through. Temporary files left by killed saves of the
// same target are removed after a successful save. Failures carry the TFileQX message of the
// step that failed, with the system's reason.
void SaveFileAtomicQX(const std::string& fileName, const void* data, int32_t len);

struct FileContentQX {
    std::string FileName;
    const void* Data = nullptr;
    int32_t Len = 0;
};

// Refuses (raising SaveFileAtomicQX's error) a target that a save would refuse: a folder, or a
// file the user may not write. Lets a long job fail before it starts.
void CheckSaveTargetQX(const std::string& fileName);
// Whether two names lead to one file: links, "." and ".." and, on Windows, letter case; also for
// files that do not exist yet.
bool SameFileQX(const std::string& a, const std::string& b);

// Called before the i-th target is replaced; tests fail or stop a save there.
using BeforeReplaceQX = std::function<void(std::size_t)>;

// Saves several files that belong together, so that they change together: all are written beside
// their targets first, then replaced under a journal beside the first target. A failure undoes
// the replacements made so far; a save interrupted by a crash is completed (or undone) by the
// next save of the same files before it starts. Saves into the same folders wait for each other
// (lock file ".gridmoor-save.lock"); one still waiting after waitMs fails with a message.
void SaveFilesAtomicQX(const std::vector<FileContentQX>& files, int waitMs = 10000,
                       const BeforeReplaceQX& beforeReplace = {});

} // namespace gm
