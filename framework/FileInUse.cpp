#include "framework/FileInUse.h"

bool FileInUseError(DWORD error)
{
    // A name pending deletion answers with access denied until its last
    // handle closes.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_DELETE_PENDING;
}

namespace {

template <class Attempt>
auto RetryWhileInUse(Attempt attempt, decltype(attempt()) failed) -> decltype(attempt())
{
    for (int i = 1;; ++i) {
        auto result = attempt();
        if (result != failed)
            return result;
        DWORD error = ::GetLastError();
        if (i == kFileInUseAttempts || !FileInUseError(error))
            return result;
        ::Sleep(kFileInUsePauseMs);
        ::SetLastError(error);
    }
}

}  // namespace

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
