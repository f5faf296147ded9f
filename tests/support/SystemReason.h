#pragma once
// The system's reason that file messages end with, for the failures tests provoke. The codes and
// their texts differ between systems ("No such file or directory" here, "File not found" on
// Windows), so tests name the kind of failure and get the text of the system they run on.

#include <string>

#include "foundation/QX_File.h"

#ifdef _WIN32
#include "foundation/WinApi.h"
#else
#include <cerrno>
#endif

namespace gm::test {

enum class Why {
    MissingFile,   // the file does not exist
    MissingFolder, // a folder on the way does not exist
    Folder,        // a folder where a file should be
    NoAccess,      // the user may not write or open it
    BadHandle,     // the file is not open
    BadArgument,   // a negative length
    BadSeek,       // a position before the start
};

inline int SystemCode(Why why) {
#ifdef _WIN32
    switch (why) {
    case Why::MissingFile:
        return ERROR_FILE_NOT_FOUND;
    case Why::MissingFolder:
        return ERROR_PATH_NOT_FOUND;
    case Why::Folder:
    case Why::NoAccess:
        return ERROR_ACCESS_DENIED;
    case Why::BadHandle:
        return ERROR_INVALID_HANDLE;
    case Why::BadArgument:
        return ERROR_INVALID_PARAMETER;
    case Why::BadSeek:
        return ERROR_NEGATIVE_SEEK;
    }
#else
    switch (why) {
    case Why::MissingFile:
    case Why::MissingFolder:
        return ENOENT;
    case Why::Folder:
        return EISDIR;
    case Why::NoAccess:
        return EACCES;
    case Why::BadHandle:
        return EBADF;
    case Why::BadArgument:
    case Why::BadSeek:
        return EINVAL;
    }
#endif
    return 0;
}

// " (<the system's text>)", as a file message ends.
inline std::string Reason(Why why) {
    return " (" + SystemReasonQX(SystemCode(why)) + ")";
}

} // namespace gm::test
