#include "framework/FileInUse.h"

bool FileInUseError(DWORD error)
{
    // A name pending deletion answers with access denied until its last
    // handle closes.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_DELETE_PENDING;
}

HANDLE CreateFileWhenFree(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return RetryWhileInUse(
        [&] { return ::CreateFileA(path, access, share, nullptr, disposition, flags, nullptr); },
        INVALID_HANDLE_VALUE);
}

BOOL DeleteFileWhenFree(const char* path)
{
    return RetryWhileInUse([&] { return ::DeleteFileA(path); }, FALSE);
}
