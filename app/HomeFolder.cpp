#include "app/HomeFolder.h"

#include "framework/Cp949.h"
#include "framework/Format.h"
#include "log/LogFile.h"

#include <shlobj.h>

#include <cwchar>

namespace {

const wchar_t kLogName[] = L"\\admin.log";
const wchar_t kFallbackName[] = L"\\Lumaro";

std::wstring LogPathIn(const std::wstring& folder)
{
    return folder + kLogName;
}

// %LOCALAPPDATA%\Lumaro, created; empty when the profile's folder is unknown.
// SHGetFolderPath rather than SHGetKnownFolderPath: the same folder from
// Windows 7 on, and without COM's allocator (ole32) to free it.
std::wstring FallbackFolder()
{
    wchar_t base[MAX_PATH] = L"";
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                  base)))
        return std::wstring();
    std::wstring folder = std::wstring(base) + kFallbackName;
    // One that exists already is what is wanted; any other failure shows in the log's open.
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

} // namespace

std::string CurrentDirectoryProblem(DWORD rc, DWORD size, DWORD error)
{
    if (rc == 0)
        return StrFormat("home folder falls back: current directory unreadable, rc=%lu",
                         static_cast<unsigned long>(error));
    // A buffer too small gives the size it needs, its terminating NUL included.
    const DWORD length = rc < size ? rc : rc - 1;
    const DWORD room = MAX_PATH - 1 - static_cast<DWORD>(std::wcslen(kLogName) + std::wcslen(kKeptLogSuffix));
    if (length > room)
        return StrFormat("home folder falls back: current directory of %lu characters, longer than %lu",
                         static_cast<unsigned long>(length), static_cast<unsigned long>(room));
    return std::string();
}

HomeFolder OpenLogInHomeFolder(LogFile& log, int minLevel)
{
    HomeFolder home;
    home.whyLevel = kLogWarn;
    wchar_t dir[MAX_PATH] = L"";
    const DWORD rc = ::GetCurrentDirectoryW(MAX_PATH, dir);
    home.whyNotCurrent = CurrentDirectoryProblem(rc, MAX_PATH, ::GetLastError());
    std::wstring current;
    if (home.whyNotCurrent.empty()) {
        current = dir;
        const PlainFileOutcome outcome = log.Open(LogPathIn(current).c_str(), FALSE, minLevel);
        if (outcome.Opened()) {
            home.path = current;
            return home;
        }
        // The log's lines are CP949: the path as such, '?' for what it lacks.
        if (outcome.error != 0) {
            home.whyNotCurrent = StrFormat("home folder falls back: admin.log cannot be opened in [%s], %s",
                                           Narrow(current).c_str(), DescribeRefusal(outcome).c_str());
        } else {
            home.whyLevel = kLogError;
            home.whyNotCurrent = StrFormat("home folder falls back: [%s] refused, %s",
                                           Narrow(LogPathIn(current)).c_str(), DescribeRefusal(outcome).c_str());
        }
    }
    const std::wstring fallback = FallbackFolder();
    // Without a profile folder the current directory is all there is.
    home.path = fallback.empty() ? current : fallback;
    if (!fallback.empty())
        log.Open(LogPathIn(fallback).c_str(), FALSE, minLevel);
    return home;
}
