#include "foundation/QX_File.h"

#include "foundation/QX_Error.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#ifdef _WIN32
#include "foundation/WinApi.h"
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace gm {

namespace {

// Reasons for failures the system did not report itself, in the system's own numbering.
#ifdef _WIN32
constexpr int CodeBadHandle = ERROR_INVALID_HANDLE;
constexpr int CodeBadArgument = ERROR_INVALID_PARAMETER;
constexpr int CodeNoSpace = ERROR_DISK_FULL;
constexpr int CodeTooBig = ERROR_FILE_TOO_LARGE;
#else
constexpr int CodeBadHandle = EBADF;
constexpr int CodeBadArgument = EINVAL;
constexpr int CodeNoSpace = ENOSPC;
constexpr int CodeTooBig = EFBIG;
#endif

#ifdef _WIN32
int LastCode() {
    return static_cast<int>(GetLastError());
}
#endif

} // namespace

std::string SystemReasonQX(int code) {
#ifdef _WIN32
    char text[512] = {};
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "system error " + std::to_string(code) : s;
#else
    return std::strerror(code);
#endif
}

void RaiseFileQX(const char* operation, const std::string& fileName, int code) {
    RaiseQX(std::string("TFileQX.") + operation + ". FileName=" + fileName + " (" +
            SystemReasonQX(code) + ")");
}

void RaiseWriteQX(const std::string& fileName, int64_t n, int code) {
    RaiseQX("TFileQX.Write. FileName=" + fileName + " kolbyte=" + std::to_string(n) + " (" +
            SystemReasonQX(code) + ")");
}

void IgnoreFileSizeSignalQX() {
#ifndef _WIN32
    // Past a file-size limit a write then fails with EFBIG, which is reported, instead of the
    // signal ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

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
        if (h == INVALID_HANDLE_VALUE) RaiseFileQX("Open", FileName, LastCode());
        Handle_ = h;
#else
        // O_NONBLOCK keeps a FIFO or device of that name from blocking the open; only regular files
        // are accepted, and for them the flag changes nothing.
        int fd = ::open(FileName.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) RaiseFileQX("Open", FileName, errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            RaiseFileQX("Open", FileName, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
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
    if (h == INVALID_HANDLE_VALUE) RaiseFileQX("CreateNew", FileName, LastCode());
    Handle_ = h;
#else
    int fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) RaiseFileQX("CreateNew", FileName, errno);
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
    int code = CodeTooBig;
#ifdef _WIN32
    LARGE_INTEGER li;
    if (GetFileSizeEx(Handle_, &li))
        size = li.QuadPart;
    else
        code = LastCode();
#else
    struct stat st {};
    if (::fstat(Handle_, &st) == 0)
        size = st.st_size;
    else
        code = errno;
#endif
    Close();
    if (size < 0 || size > std::numeric_limits<int32_t>::max())
        RaiseFileQX("GetSize", FileName, code);
    return static_cast<int32_t>(size);
}

int32_t TFileQX::SetPointer(int32_t distance, int origin) {
    int64_t pos = -1;
    int code = !IsOpen()                    ? CodeBadHandle
               : (origin < 0 || origin > 2) ? CodeBadArgument
                                            : CodeTooBig;
#ifdef _WIN32
    static constexpr DWORD Methods[3] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER d;
    d.QuadPart = distance;
    LARGE_INTEGER now;
    if (IsOpen() && origin >= 0 && origin <= 2) {
        if (SetFilePointerEx(Handle_, d, &now, Methods[origin]))
            pos = now.QuadPart;
        else
            code = LastCode();
    }
#else
    static constexpr int Whence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (IsOpen() && origin >= 0 && origin <= 2) {
        pos = ::lseek(Handle_, distance, Whence[origin]);
        if (pos < 0) code = errno;
    }
#endif
    if (pos < 0 || pos > std::numeric_limits<int32_t>::max())
        RaiseFileQX("SetPointer", FileName, code);
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
    if (done != n) {
        // A read that found the end early has no system error: say so instead.
        std::string reason = code != 0   ? SystemReasonQX(static_cast<int>(code))
                             : !IsOpen() ? SystemReasonQX(CodeBadHandle)
                             : n < 0     ? SystemReasonQX(CodeBadArgument)
                                         : std::string("the file ends early");
        RaiseQX("TFileQX.Read. FileName=" + FileName + " kolbyte=" + std::to_string(n) +
                " GetLastError=" + std::to_string(code) + " (" + reason + ")");
    }
}

void TFileQX::Write(const void* block, int32_t n) {
    if (n == 0) return;
    const auto* at = static_cast<const uint8_t*>(block);
    int32_t done = 0;
    int code = !IsOpen() ? CodeBadHandle : n < 0 ? CodeBadArgument : CodeNoSpace;
    if (n > 0 && IsOpen()) {
        while (done < n) {
#ifdef _WIN32
            DWORD put = 0;
            if (!WriteFile(Handle_, at + done, static_cast<DWORD>(n - done), &put, nullptr)) {
                code = LastCode();
                break;
            }
#else
            ssize_t put = ::write(Handle_, at + done, static_cast<std::size_t>(n - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                code = errno;
                break;
            }
#endif
            if (put == 0) break;
            done += static_cast<int32_t>(put);
        }
    }
    if (done != n) RaiseWriteQX(FileName, n, code);
}

} // namespace gm
