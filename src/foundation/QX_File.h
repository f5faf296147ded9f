#pragma once
// Thin wrapper round an operating-system file handle; every failure raises ErrorQX with a message
// that quotes FileName.

#include <cstdint>
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

// Writes a whole file so that the target is either fully replaced or untouched: the bytes go to a
// temporary file in the target's folder, which then replaces the target atomically. Failures carry
// the TFileQX message of the step that failed.
void SaveFileAtomicQX(const std::string& fileName, const void* data, int32_t len);

struct FileContentQX {
    std::string FileName;
    const void* Data = nullptr;
    int32_t Len = 0;
};

// Saves several files that belong together: all are written beside their targets before any
// target is replaced, so a write failure leaves every target untouched. Only a failure of the
// final renames themselves can leave the earlier targets replaced.
void SaveFilesAtomicQX(const std::vector<FileContentQX>& files);

} // namespace gm
