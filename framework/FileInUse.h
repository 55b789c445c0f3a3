#pragma once
// Another program may hold one of our files for a moment: an on-access virus
// scanner right after it was closed, a backup or support agent, a viewer.
// Windows then refuses an open or a delete that conflicts with that handle's
// sharing (or finds the name pending deletion), so these try again a few
// times, briefly, before the failure counts.
#include <windows.h>

const int kFileInUseAttempts = 5;
const DWORD kFileInUsePauseMs = 50;

// True for the errors a passing handle of another program causes.
bool FileInUseError(DWORD error);

// Calls attempt() until it gives something other than `failed`, or until
// the error it leaves is not one of a file in use, or kFileInUseAttempts
// tries have been made; the last error stays set for the caller.
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
