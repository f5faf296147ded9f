// Saving files so that a failure or a crash never leaves a target half written, and files that
// belong together never mixed from two saves.

#include "foundation/QX_File.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/Codec.h"
#include "foundation/FileLock.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"

#ifdef _WIN32
#include "foundation/WinApi.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace gm {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t SuffixDigits = 16;
constexpr const char* TempExt = ".tmp";
constexpr const char* KeptExt = ".bak"; // the old target while files saved together are replaced
constexpr const char* LockName = ".gridmoor-save.lock";
// A temporary file younger than this may belong to a save that has only just created it.
constexpr auto StaleAge = std::chrono::seconds(10);

#ifdef _WIN32
constexpr int CodeNoName = ERROR_INVALID_NAME;
constexpr int CodeBadArgument = ERROR_INVALID_PARAMETER;
#else
constexpr int CodeNoName = ENOENT;
constexpr int CodeBadArgument = EINVAL;
#endif

// File names are 8-bit text in the system code page; the standard library would read a narrow
// name as UTF-8 on Windows, so names cross into std::filesystem through their wide form there.
fs::path FsPath(const std::string& name) {
#ifdef _WIN32
    return fs::path(AnsiToWideQX(name));
#else
    return fs::path(name);
#endif
}

std::string FsName(const fs::path& path) {
#ifdef _WIN32
    return WideToAnsiQX(path.u16string());
#else
    return path.string();
#endif
}

int LastCode() {
#ifdef _WIN32
    return static_cast<int>(GetLastError());
#else
    return errno;
#endif
}

std::string RandomHex(std::random_device& rd) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string s;
    while (s.size() < SuffixDigits) {
        uint32_t v = rd();
        for (int k = 0; k < 8; ++k, v >>= 4)
            s += Hex[v & 15];
    }
    return s;
}

// A target's folder (with its separator) and base name.
struct PlaceQX {
    std::string Dir;
    std::string Base;
};

PlaceQX Split(const std::string& path) {
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("\\/:");
#else
    const std::size_t cut = path.rfind('/');
#endif
    if (cut == std::string::npos) return {{}, path};
    return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

std::size_t NameMax(const std::string& dir) {
#ifdef _WIN32
    (void)dir;
    return 255;
#else
    const long n = ::pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<std::size_t>(n) : 255;
#endif
}

// "." + base (cut to fit the folder's name limit) + "." : what every temporary or kept file of
// this target starts with. The suffix adds 16 hex digits and a four-letter extension.
std::string TempStem(const PlaceQX& place) {
    const std::size_t extra = 2 + SuffixDigits + 4;
    const std::size_t limit = NameMax(place.Dir);
    std::string base = place.Base;
    if (base.size() + extra > limit) base.resize(limit > extra ? limit - extra : 1);
    return "." + base + ".";
}

bool IsOwnTemp(const std::string& name, const std::string& stem, const std::string& ext) {
    if (name.size() != stem.size() + SuffixDigits + ext.size()) return false;
    if (name.compare(0, stem.size(), stem) != 0) return false;
    if (name.compare(name.size() - ext.size(), ext.size(), ext) != 0) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()),
                       name.end() - static_cast<std::ptrdiff_t>(ext.size()),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// A file written in full beside its target, waiting to replace it.
struct PendingFileQX {
    std::string FileName; // the name the user gave, for messages
    std::string Target;   // the file actually replaced (a symbolic link's file)
    PlaceQX Place;
    std::string Temp;
};

void RemoveQuietly(const std::string& file) noexcept {
    std::error_code ec;
    fs::remove(FsPath(file), ec);
}

// Through a symbolic link the file it points to is replaced (or made, for a link to a file that
// does not exist yet); the link stays a link.
std::string ResolveTarget(const std::string& fileName) {
    fs::path path = FsPath(fileName);
    bool linked = false;
    for (int depth = 0; depth < 40; ++depth) { // the system's own limit on link chains
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
        linked = true;
    }
    return linked ? FsName(path.lexically_normal()) : fileName;
}

// Refuses what cannot or must not be replaced before anything is written.
void CheckTarget(const std::string& fileName, const std::string& target) {
#ifdef _WIN32
    const DWORD attrs = GetFileAttributesA(target.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) RaiseFileQX("CreateNew", fileName, ERROR_ACCESS_DENIED);
    if (attrs & FILE_ATTRIBUTE_READONLY) RaiseFileQX("CreateNew", fileName, ERROR_ACCESS_DENIED);
#else
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) RaiseFileQX("CreateNew", fileName, EISDIR);
    // Read-only is how designers protect files: a file nobody may write is left alone also by
    // a user whom the system would let replace it.
    if (::access(target.c_str(), W_OK) != 0) RaiseFileQX("CreateNew", fileName, errno);
    if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) RaiseFileQX("CreateNew", fileName, EACCES);
#endif
}

} // namespace

void CheckSaveTargetQX(const std::string& fileName) {
    CheckTarget(fileName, ResolveTarget(fileName));
}

bool SameFileQX(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(FsPath(a), FsPath(b), ec)) return true; // links, "./", other spellings
    const fs::path pa = fs::weakly_canonical(FsPath(ResolveTarget(a)), ec);
    if (ec) return false;
    const fs::path pb = fs::weakly_canonical(FsPath(ResolveTarget(b)), ec);
    if (ec) return false;
#ifdef _WIN32
    std::string la = FsName(pa), lb = FsName(pb);
    for (std::string* s : {&la, &lb})
        for (char& c : *s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return la == lb;
#else
    return pa == pb;
#endif
}

namespace {

PendingFileQX WritePending(const std::string& fileName, const void* data, int32_t len,
                           const std::string& ext = TempExt) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    // Absolute, so that a journal naming it still leads there from another working folder.
    std::error_code absEc;
    const fs::path absolute = fs::absolute(FsPath(ResolveTarget(fileName)), absEc);
    PendingFileQX p{fileName, absEc ? ResolveTarget(fileName) : FsName(absolute), {}, {}};
    p.Place = Split(p.Target);
    if (p.Place.Base.empty()) RaiseFileQX("CreateNew", fileName, CodeNoName);
    CheckTarget(fileName, p.Target);
    if (len < 0) RaiseWriteQX(fileName, len, CodeBadArgument);
    const std::string stem = TempStem(p.Place);
    std::random_device rd;
#ifdef _WIN32
    HANDLE h = INVALID_HANDLE_VALUE;
    int code = 0;
    for (int attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
        p.Temp = p.Place.Dir + stem + RandomHex(rd) + ext;
        h = CreateFileA(p.Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        code = LastCode();
        if (h == INVALID_HANDLE_VALUE && code != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) RaiseFileQX("CreateNew", fileName, code);
    int32_t done = 0;
    code = ERROR_DISK_FULL;
    while (done < len) {
        DWORD put = 0;
        if (!WriteFile(h, bytes + done, static_cast<DWORD>(len - done), &put, nullptr)) {
            code = LastCode();
            break;
        }
        if (put == 0) break;
        done += static_cast<int32_t>(put);
    }
    bool ok = done == len;
    if (ok && !FlushFileBuffers(h)) ok = false, code = LastCode();
    if (!CloseHandle(h) && ok) ok = false, code = LastCode();
    if (!ok) {
        RemoveQuietly(p.Temp);
        RaiseWriteQX(fileName, len, code);
    }
#else
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        p.Temp = p.Place.Dir + stem + RandomHex(rd) + ext;
        fd = ::open(p.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) RaiseFileQX("CreateNew", fileName, errno);
    // Held while the file is written: a later save removes only temporary files nobody holds.
    ::flock(fd, LOCK_EX);
    // A replaced file keeps its permissions and, where the system allows it, its owner.
    struct stat st {};
    if (::stat(p.Target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(fd, st.st_mode & 07777);
        struct stat mine {};
        if (::fstat(fd, &mine) == 0 && (mine.st_uid != st.st_uid || mine.st_gid != st.st_gid))
            (void)!::fchown(fd, st.st_uid, st.st_gid);
    }
    int32_t done = 0;
    int code = ENOSPC;
    while (done < len) {
        const ssize_t put = ::write(fd, bytes + done, static_cast<std::size_t>(len - done));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) code = errno;
        if (put <= 0) break;
        done += static_cast<int32_t>(put);
    }
    bool ok = done == len;
    if (ok && ::fsync(fd) != 0) ok = false, code = errno;
    if (::close(fd) != 0 && ok) ok = false, code = errno;
    if (!ok) {
        RemoveQuietly(p.Temp);
        RaiseWriteQX(fileName, len, code);
    }
#endif
    return p;
}

void SyncFolder(const std::string& dir) noexcept {
#ifndef _WIN32
    // Makes the renames durable; a folder that cannot be synced is no reason to fail.
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
#else
    (void)dir;
#endif
}

// 0 on success, else the system's error code.
int Replace(const std::string& from, const std::string& to) noexcept {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
#else
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
#endif
    return LastCode();
}

void CommitPending(const PendingFileQX& p) {
    if (const int code = Replace(p.Temp, p.Target)) {
        RemoveQuietly(p.Temp);
        RaiseFileQX("CreateNew", p.FileName, code);
    }
    SyncFolder(p.Place.Dir);
}

// Removes temporary files of this target that killed saves left behind: only those no save
// holds any more and that are not brand new.
void RemoveStaleTemps(const PendingFileQX& p, const std::string& ext) noexcept {
    const std::string stem = TempStem(p.Place);
    std::error_code ec;
    const fs::path dir = p.Place.Dir.empty() ? fs::path(".") : FsPath(p.Place.Dir);
    std::vector<fs::path> stale;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const std::string name = FsName(e.path().filename());
        if (!IsOwnTemp(name, stem, ext)) continue;
        std::error_code tec;
        const auto written = fs::last_write_time(e.path(), tec);
        if (tec || fs::file_time_type::clock::now() - written < StaleAge) continue;
        stale.push_back(e.path());
    }
    for (const fs::path& file : stale) {
#ifdef _WIN32
        DeleteFileW(file.c_str()); // fails while a save still has it open
#else
        const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(file.c_str());
        ::close(fd);
#endif
    }
}

} // namespace

// The target is replaced only after the whole content is on disk in a file beside it, so a failed
// save (full disk, folder gone, a directory in the way) leaves the old file as it was. Messages
// name the target, which is the name the user knows.
void SaveFileAtomicQX(const std::string& fileName, const void* data, int32_t len) {
    const PendingFileQX p = WritePending(fileName, data, len);
    CommitPending(p);
    RemoveStaleTemps(p, TempExt);
}

// --- Files saved together ---

namespace {

// One line of the journal: the target, the file that replaces it, and the copy of its old
// content (empty when there was no old file).
struct JournalEntryQX {
    std::string Target;
    std::string Temp;
    std::string Kept;
};

std::string JournalFile(const std::string& firstTarget) {
    const PlaceQX place = Split(ResolveTarget(firstTarget));
    return place.Dir + TempStem(place) + "pair";
}

bool Exists(const std::string& file) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(FsPath(file), ec));
}

void WriteJournal(const std::string& file, const std::vector<JournalEntryQX>& entries) {
    std::string text;
    for (const JournalEntryQX& e : entries)
        text += e.Target + '\0' + e.Temp + '\0' + e.Kept + '\0';
    const PendingFileQX p = WritePending(file, text.data(), static_cast<int32_t>(text.size()));
    CommitPending(p);
}

std::vector<JournalEntryQX> ReadJournal(const std::string& file) {
    TBufQX buf;
    buf.LoadFromFile(file);
    std::vector<std::string> fields;
    std::string field;
    for (int32_t i = 0; i < buf.Len; ++i) {
        const char c = static_cast<char>(buf.Data[i]);
        if (c != '\0') {
            field += c;
            continue;
        }
        fields.push_back(field);
        field.clear();
    }
    std::vector<JournalEntryQX> entries;
    for (std::size_t i = 0; i + 2 < fields.size(); i += 3)
        entries.push_back({fields[i], fields[i + 1], fields[i + 2]});
    return entries;
}

// The old content of a target, kept under a name beside it until the new files are all in
// place: a hard link where the file system has them, a copy elsewhere.
std::string KeepOld(const PendingFileQX& p) {
    if (!Exists(p.Target)) return {};
    std::random_device rd;
    const std::string kept = p.Place.Dir + TempStem(p.Place) + RandomHex(rd) + KeptExt;
    std::error_code ec;
    fs::create_hard_link(FsPath(p.Target), FsPath(kept), ec);
    if (!ec) return kept;
    fs::copy_file(FsPath(p.Target), FsPath(kept), ec);
    if (ec) RaiseQX("TFileQX.CreateNew. FileName=" + kept + " (" + ec.message() + ")");
    return kept;
}

// Puts the targets back as they were before the journal's save. True when all are.
bool RollBack(const std::vector<JournalEntryQX>& entries) noexcept {
    bool ok = true;
    for (const JournalEntryQX& e : entries) {
        if (Exists(e.Temp)) { // never replaced
            RemoveQuietly(e.Temp);
            RemoveQuietly(e.Kept);
            continue;
        }
        if (e.Kept.empty()) {
            std::error_code ec;
            fs::remove(FsPath(e.Target), ec);
            ok = ok && !ec;
        } else if (Exists(e.Kept)) {
            ok = Replace(e.Kept, e.Target) == 0 && ok;
        }
    }
    return ok;
}

void Finish(const std::string& journal, const std::vector<JournalEntryQX>& entries) noexcept {
    RemoveQuietly(journal);
    for (const JournalEntryQX& e : entries)
        if (!e.Kept.empty()) RemoveQuietly(e.Kept);
    for (const JournalEntryQX& e : entries)
        SyncFolder(Split(e.Target).Dir);
}

// A save that a crash interrupted left its journal: every file it names was written in full, so
// the save is completed; where that is impossible the old files are put back.
void Repair(const std::string& journal) {
    if (!Exists(journal)) return;
    const std::vector<JournalEntryQX> entries = ReadJournal(journal);
    bool forward = true;
    int code = 0;
    for (const JournalEntryQX& e : entries)
        if (forward && Exists(e.Temp)) {
            code = Replace(e.Temp, e.Target);
            forward = code == 0;
        }
    if (forward || RollBack(entries)) {
        Finish(journal, entries);
        return;
    }
    std::string names;
    for (const JournalEntryQX& e : entries)
        names += (names.empty() ? "" : " and ") + e.Target;
    RaiseQX(
        "The files " + names +
        " were left half replaced by an interrupted save and could not be put together again (" +
        SystemReasonQX(code) + "); the journal " + journal +
        " lists what belongs where. Make them writable and save again.");
}

} // namespace

void SaveFilesAtomicQX(const std::vector<FileContentQX>& files, int waitMs,
                       const BeforeReplaceQX& beforeReplace) {
    if (files.empty()) return;
    // One lock per folder, taken in name order so that two saves cannot wait for each other.
    std::set<std::string> dirs;
    for (const FileContentQX& f : files)
        dirs.insert(Split(ResolveTarget(f.FileName)).Dir);
    std::vector<std::unique_ptr<FileLockQX>> locks;
    for (const std::string& dir : dirs) {
        auto lock = std::make_unique<FileLockQX>(dir + LockName);
        bool locked = false;
        try {
            locked = lock->Lock(waitMs);
        } catch (const ErrorQX&) {
            // No lock file can be made there (no such folder, no right to write in it): nothing
            // else can be written there either, and the file's own error says why.
            continue;
        }
        if (!locked)
            RaiseQX("Another save into the folder " + (dir.empty() ? std::string(".") : dir) +
                    " is running (it holds " + lock->FileName() +
                    "); try again when it has finished.");
        locks.push_back(std::move(lock));
    }
    const std::string journal = JournalFile(files.front().FileName);
    Repair(journal);

    std::vector<PendingFileQX> pending;
    std::vector<JournalEntryQX> entries;
    try {
        for (const FileContentQX& f : files)
            pending.push_back(WritePending(f.FileName, f.Data, f.Len));
        for (const PendingFileQX& p : pending)
            entries.push_back({p.Target, p.Temp, {}});
        for (std::size_t i = 0; i < pending.size(); ++i)
            entries[i].Kept = KeepOld(pending[i]);
        WriteJournal(journal, entries);
    } catch (...) {
        for (const PendingFileQX& p : pending)
            RemoveQuietly(p.Temp);
        for (const JournalEntryQX& e : entries)
            if (!e.Kept.empty()) RemoveQuietly(e.Kept);
        throw;
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        int code = 0;
        try {
            if (beforeReplace) beforeReplace(i);
            code = Replace(pending[i].Temp, pending[i].Target);
        } catch (const ErrorQX&) {
            if (RollBack(entries)) Finish(journal, entries);
            throw;
        }
        if (code != 0) {
            // Undone at once where possible; otherwise the journal lets the next save finish it.
            if (RollBack(entries)) Finish(journal, entries);
            RaiseFileQX("CreateNew", pending[i].FileName, code);
        }
    }
    Finish(journal, entries);
    for (const PendingFileQX& p : pending) {
        RemoveStaleTemps(p, TempExt);
        RemoveStaleTemps(p, KeptExt);
    }
}

} // namespace gm
