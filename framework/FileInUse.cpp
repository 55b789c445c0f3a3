#include "framework/FileInUse.h"

bool FileInUseError(DWORD error)
{
    // A name pending deletion answers with access denied until its last
    // handle closes.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_DELETE_PENDING;
}

HANDLE CreateFileWhenFree(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return RetryWhileInUse(
        [&] { return ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr); },
        INVALID_HANDLE_VALUE);
}

BOOL DeleteFileWhenFree(const wchar_t* path)
{
    return RetryWhileInUse([&] { return ::DeleteFileW(path); }, FALSE);
}
