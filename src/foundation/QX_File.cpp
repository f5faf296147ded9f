#include "foundation/QX_File.h"

#include "foundation/QX_Error.h"

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace gm {

namespace {

[[noreturn]] void RaiseFile(const char* operation, const std::string& fileName) {
    RaiseQX(std::string("TFileQX.") + operation + ". FileName=" + fileName);
}

[[noreturn]] void RaiseWrite(const std::string& fileName, int64_t n) {
    RaiseQX("TFileQX.Write. FileName=" + fileName + " kolbyte=" + std::to_string(n));
}

// A unique-enough suffix for temporary files; collisions are retried by the caller.
std::string TempSuffix(std::random_device& rd) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 2; ++i) {
        uint32_t v = rd();
        for (int k = 0; k < 8; ++k) {
            s += Hex[v & 15];
            v >>= 4;
        }
    }
    return s;
}

} // namespace

TFileQX::~TFileQX() {
    Clear();
}

void TFileQX::CloseOsHandle() noexcept {
    if (!IsOpen()) return;
#ifdef _WIN32
    CloseHandle(Handle_);
#else
    ::close(Handle_);
#endif
    Handle_ = InvalidHandle;
}

void TFileQX::Clear() {
    CloseOsHandle();
    OpenCount = 0;
    FileName.clear();
}

void TFileQX::SetFileName(const std::string& name) {
    Clear();
    FileName = name;
}

void TFileQX::Open() {
    OpenWith(false);
}

void TFileQX::OpenRead() {
    OpenWith(true);
}

void TFileQX::OpenWith(bool readOnly) {
    if (!IsOpen()) {
        OpenCount = 0;
#ifdef _WIN32
        HANDLE h = CreateFileA(
            FileName.c_str(), readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
            readOnly ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) RaiseFile("Open", FileName);
        Handle_ = h;
#else
        // O_NONBLOCK keeps a FIFO or device of that name from blocking the open; only regular files
        // are accepted, and for them the flag changes nothing.
        int fd = ::open(FileName.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) RaiseFile("Open", FileName);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            RaiseFile("Open", FileName);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        Handle_ = fd;
#endif
    }
    OpenCount += 1;
}

void TFileQX::CreateNew() {
    CloseOsHandle();
    OpenCount = 0;
#ifdef _WIN32
    HANDLE h = CreateFileA(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) RaiseFile("CreateNew", FileName);
    Handle_ = h;
#else
    int fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) RaiseFile("CreateNew", FileName);
    Handle_ = fd;
#endif
    OpenCount = 1;
}

void TFileQX::Close() {
    OpenCount -= 1;
    if (OpenCount <= 0) {
        CloseOsHandle();
        OpenCount = 0;
    }
}

int32_t TFileQX::GetSize() {
    // Read-only, so that asking the size of a read-only file works; nests with any open.
    OpenRead();
    int64_t size = -1;
#ifdef _WIN32
    LARGE_INTEGER li;
    if (GetFileSizeEx(Handle_, &li)) size = li.QuadPart;
#else
    struct stat st {};
    if (::fstat(Handle_, &st) == 0) size = st.st_size;
#endif
    Close();
    if (size < 0 || size > std::numeric_limits<int32_t>::max()) RaiseFile("GetSize", FileName);
    return static_cast<int32_t>(size);
}

int32_t TFileQX::SetPointer(int32_t distance, int origin) {
    int64_t pos = -1;
#ifdef _WIN32
    static constexpr DWORD Methods[3] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER d;
    d.QuadPart = distance;
    LARGE_INTEGER now;
    if (IsOpen() && origin >= 0 && origin <= 2 &&
        SetFilePointerEx(Handle_, d, &now, Methods[origin]))
        pos = now.QuadPart;
#else
    static constexpr int Whence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (IsOpen() && origin >= 0 && origin <= 2) pos = ::lseek(Handle_, distance, Whence[origin]);
#endif
    if (pos < 0 || pos > std::numeric_limits<int32_t>::max()) RaiseFile("SetPointer", FileName);
    return static_cast<int32_t>(pos);
}

int32_t TFileQX::GetPointer() {
    return SetPointer(0, 1);
}

void TFileQX::Read(void* block, int32_t n) {
    if (n == 0) return;
    auto* at = static_cast<uint8_t*>(block);
    int32_t done = 0;
    unsigned long code = 0;
    if (n > 0 && IsOpen()) {
        // The system may hand out fewer bytes than asked; only a read of nothing means the end.
        while (done < n) {
#ifdef _WIN32
            DWORD got = 0;
            if (!ReadFile(Handle_, at + done, static_cast<DWORD>(n - done), &got, nullptr)) {
                code = GetLastError();
                break;
            }
#else
            ssize_t got = ::read(Handle_, at + done, static_cast<std::size_t>(n - done));
            if (got < 0) {
                if (errno == EINTR) continue;
                code = static_cast<unsigned long>(errno);
                break;
            }
#endif
            if (got == 0) break;
            done += static_cast<int32_t>(got);
        }
    }
    if (done != n)
        RaiseQX("TFileQX.Read. FileName=" + FileName + " kolbyte=" + std::to_string(n) +
                " GetLastError=" + std::to_string(code));
}

void TFileQX::Write(const void* block, int32_t n) {
    if (n == 0) return;
    const auto* at = static_cast<const uint8_t*>(block);
    int32_t done = 0;
    if (n > 0 && IsOpen()) {
        while (done < n) {
#ifdef _WIN32
            DWORD put = 0;
            if (!WriteFile(Handle_, at + done, static_cast<DWORD>(n - done), &put, nullptr)) break;
#else
            ssize_t put = ::write(Handle_, at + done, static_cast<std::size_t>(n - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                break;
            }
#endif
            if (put == 0) break;
            done += static_cast<int32_t>(put);
        }
    }
    if (done != n) RaiseWrite(FileName, n);
}

namespace {

// A file written in full beside its target, waiting to replace it.
struct PendingFileQX {
    std::string FileName; // the name the user gave, for messages
    std::string Target;   // the file actually replaced (a symbolic link's file)
    std::string Dir;
    std::string Temp;
};

void DiscardPending(const PendingFileQX& p) noexcept {
#ifdef _WIN32
    DeleteFileA(p.Temp.c_str());
#else
    ::unlink(p.Temp.c_str());
#endif
}

PendingFileQX WritePending(const std::string& fileName, const void* data, int32_t len) {
    if (len < 0) RaiseWrite(fileName, len);
    std::random_device rd;
    const auto* bytes = static_cast<const uint8_t*>(data);
    PendingFileQX p{fileName, fileName, {}, {}};
#ifdef _WIN32
    const std::size_t cut = fileName.find_last_of("\\/:");
    p.Dir = cut == std::string::npos ? std::string() : fileName.substr(0, cut + 1);
    const std::string base = cut == std::string::npos ? fileName : fileName.substr(cut + 1);
    if (base.empty()) RaiseFile("CreateNew", fileName);
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
        p.Temp = p.Dir + base + "." + TempSuffix(rd) + ".tmp";
        h = CreateFileA(p.Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) RaiseFile("CreateNew", fileName);
    int32_t done = 0;
    while (done < len) {
        DWORD put = 0;
        if (!WriteFile(h, bytes + done, static_cast<DWORD>(len - done), &put, nullptr) || put == 0)
            break;
        done += static_cast<int32_t>(put);
    }
    const bool flushed = FlushFileBuffers(h) != 0;
    const bool closed = CloseHandle(h) != 0;
    if (done != len || !flushed || !closed) {
        DiscardPending(p);
        RaiseWrite(fileName, len);
    }
#else
    // Through a symbolic link the file it points to is replaced; the link stays a link.
    struct stat st {};
    if (::lstat(p.Target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        auto real = std::filesystem::canonical(p.Target, ec);
        if (!ec) p.Target = real.string();
    }
    const std::size_t cut = p.Target.rfind('/');
    p.Dir = cut == std::string::npos ? std::string() : p.Target.substr(0, cut + 1);
    const std::string base = cut == std::string::npos ? p.Target : p.Target.substr(cut + 1);
    if (base.empty()) RaiseFile("CreateNew", fileName);

    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        p.Temp = p.Dir + "." + base + "." + TempSuffix(rd) + ".tmp";
        fd = ::open(p.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) RaiseFile("CreateNew", fileName);
    // A replaced file keeps its permissions.
    if (::stat(p.Target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);

    int32_t done = 0;
    while (done < len) {
        ssize_t put = ::write(fd, bytes + done, static_cast<std::size_t>(len - done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<int32_t>(put);
    }
    const bool synced = done == len && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        DiscardPending(p);
        RaiseWrite(fileName, len);
    }
#endif
    return p;
}

void CommitPending(const PendingFileQX& p) {
#ifdef _WIN32
    if (!MoveFileExA(p.Temp.c_str(), p.FileName.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DiscardPending(p);
        RaiseFile("CreateNew", p.FileName);
    }
#else
    if (::rename(p.Temp.c_str(), p.Target.c_str()) != 0) {
        DiscardPending(p);
        RaiseFile("CreateNew", p.FileName);
    }
    // Make the rename itself durable; a folder that cannot be synced is no reason to fail.
    int dfd = ::open(p.Dir.empty() ? "." : p.Dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
#endif
}

} // namespace

// The target is replaced only after the whole content is on disk in a file beside it, so a failed
// save (full disk, folder gone, a directory in the way) leaves the old file as it was. Messages
// name the target, which is the name the user knows.
void SaveFileAtomicQX(const std::string& fileName, const void* data, int32_t len) {
    CommitPending(WritePending(fileName, data, len));
}

// Every file is written in full before the first target is replaced, so a full disk or a write
// error leaves all targets as they were.
void SaveFilesAtomicQX(const std::vector<FileContentQX>& files) {
    std::vector<PendingFileQX> pending;
    pending.reserve(files.size());
    try {
        for (const FileContentQX& f : files)
            pending.push_back(WritePending(f.FileName, f.Data, f.Len));
    } catch (...) {
        for (const PendingFileQX& p : pending)
            DiscardPending(p);
        throw;
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        try {
            CommitPending(pending[i]);
        } catch (...) {
            // A failed commit removed its own temporary file; the later ones are still there.
            for (std::size_t j = i + 1; j < pending.size(); ++j)
                DiscardPending(pending[j]);
            throw;
        }
    }
}

} // namespace gm
