#include "foundation/FileLock.h"

#include <chrono>
#include <thread>

#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"

#ifdef _WIN32
#include "foundation/WinApi.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace gm {

bool FileLockQX::TryLock() {
    if (Held_) return true;
#ifdef _WIN32
    HANDLE h = CreateFileA(FileName_.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        RaiseQX("FileLockQX.Lock. FileName=" + FileName_ + " (" +
                SystemReasonQX(static_cast<int>(GetLastError())) + ")");
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        CloseHandle(h);
        return false;
    }
    Handle_ = h;
#else
    const int fd = ::open(FileName_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        RaiseQX("FileLockQX.Lock. FileName=" + FileName_ + " (" + SystemReasonQX(errno) + ")");
    int rc = 0;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        const int code = errno;
        ::close(fd);
        if (code == EWOULDBLOCK) return false;
        RaiseQX("FileLockQX.Lock. FileName=" + FileName_ + " (" + SystemReasonQX(code) + ")");
    }
    Fd_ = fd;
#endif
    Held_ = true;
    return true;
}

bool FileLockQX::Lock(int waitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!TryLock()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void FileLockQX::Unlock(bool removeFile) noexcept {
    if (!Held_) return;
    Held_ = false;
#ifdef _WIN32
    if (removeFile) DeleteFileA(FileName_.c_str());
    CloseHandle(Handle_);
    Handle_ = nullptr;
#else
    if (removeFile) ::unlink(FileName_.c_str());
    ::close(Fd_);
    Fd_ = -1;
#endif
}

} // namespace gm
