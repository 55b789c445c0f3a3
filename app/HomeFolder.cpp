#include "app/HomeFolder.h"

#include "app/StartFolder.h"
#include "framework/Cp949.h"
#include "framework/Format.h"
#include "framework/PlainFile.h"
#include "framework/ScopedHandle.h"
#include "log/LogFile.h"

#include <aclapi.h>
#include <shlobj.h>

#include <cwchar>

namespace {

const wchar_t kLogName[] = L"\\admin.log";
const wchar_t kFallbackName[] = L"\\Lumaro";
// The files of a home folder, none of which may be another's.
const wchar_t* const kOwnFiles[] = {L"\\admin.log", L"\\admin.log.1", L"\\result"};
const char kFallsBack[] = "home folder falls back: ";

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

// The folder's path with links, junctions, short names and substituted
// drives resolved, without "\\?\"; as given when it cannot be resolved.
std::wstring FinalPath(const std::wstring& folder)
{
    AutoCloseHandle dir(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t path[1024] = L"";
    const DWORD length = dir.Valid() ? ::GetFinalPathNameByHandleW(dir.Get(), path, 1024, FILE_NAME_NORMALIZED) : 0;
    if (length == 0 || length >= 1024)
        return folder;
    const std::wstring final(path, length);
    if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + final.substr(8);
    return final.compare(0, 4, L"\\\\?\\") == 0 ? final.substr(4) : final;
}

// The Windows folder (the machine's, not a terminal user's own) and every
// Program Files folder, the 64-bit one included, which a 32-bit program
// learns only from ProgramW6432.
std::vector<std::wstring> SystemFolders()
{
    std::vector<std::wstring> folders;
    wchar_t path[MAX_PATH] = L"";
    const UINT length = ::GetSystemWindowsDirectoryW(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        folders.push_back(FinalPath(path));
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86})
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
            folders.push_back(FinalPath(path));
    const DWORD native = ::GetEnvironmentVariableW(L"ProgramW6432", path, MAX_PATH);
    if (native > 0 && native < MAX_PATH)
        folders.push_back(FinalPath(path));
    return folders;
}

// The user's profile and application-data folders, which hold every program's data.
std::vector<std::wstring> SharedRoots()
{
    std::vector<std::wstring> roots;
    wchar_t path[MAX_PATH] = L"";
    for (int csidl : {CSIDL_PROFILE, CSIDL_LOCAL_APPDATA, CSIDL_APPDATA})
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
            roots.push_back(FinalPath(path));
    return roots;
}

// The SID of the user this process runs as, in `buffer`; null when unknown.
PSID UserSid(std::vector<BYTE>& buffer)
{
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
        return nullptr;
    AutoCloseHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    buffer.resize(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return nullptr;
    return reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
}

// Why the start folder is not the user's own; empty when it is.
std::string StartFolderProblem(const std::wstring& folder, PSID user)
{
    const std::wstring real = FinalPath(folder);
    std::string why = SystemFolderProblem(real, SystemFolders());
    if (!why.empty())
        return why;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD rc = ::GetNamedSecurityInfoW(real.c_str(), SE_FILE_OBJECT,
                                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                             &dacl, nullptr, &descriptor);
    if (rc != ERROR_SUCCESS)
        return StrFormat("access list of [%s] unreadable, rc=%lu", Narrow(folder).c_str(),
                         static_cast<unsigned long>(rc));
    ScopedLocal owned(descriptor);
    const std::string writer = OtherWriter(owner, dacl, user);
    return writer.empty() ? std::string() : "[" + Narrow(folder) + "] may be written by " + writer;
}

// Why a file already at `path` may not be taken over: a link, another's file,
// one whose owner cannot even be read. Empty when there is none, or it is the user's.
std::string ForeignFileProblem(const std::wstring& path, PSID user)
{
    AutoCloseHandle file(::CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const std::string named = "[" + Narrow(path) + "] ";
    if (!file.Valid()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? std::string()
                                             : named + StrFormat("unreadable, rc=%lu", static_cast<unsigned long>(error));
    }
    const PlainFileOutcome kind = CheckPlainFile(file.Get());
    if (!kind.Opened())
        return named + "refused, " + DescribeRefusal(kind);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD rc = ::GetSecurityInfo(file.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                       nullptr, nullptr, &descriptor);
    ScopedLocal owned(descriptor);
    if (rc != ERROR_SUCCESS)
        return named + StrFormat("owner unreadable, rc=%lu", static_cast<unsigned long>(rc));
    return TrustedSid(owner, user) ? std::string() : named + "owned by " + SidText(owner);
}

struct Attempt {
    bool opened = false;
    int level = kLogWarn;
    std::string why;      // why the log is not open in the folder
    std::string notKept;  // the last run's log continued, not set apart
};

Attempt OpenLogIn(const std::wstring& folder, LogFile& log, int minLevel, PSID user)
{
    Attempt attempt;
    attempt.level = kLogError;
    for (const wchar_t* name : kOwnFiles) {
        attempt.why = ForeignFileProblem(folder + name, user);
        if (!attempt.why.empty())
            return attempt;
    }
    const PlainFileOutcome outcome = log.OpenNewRun(LogPathIn(folder).c_str(), minLevel, attempt.notKept);
    attempt.opened = outcome.Opened();
    // The log's lines are CP949: the path as such, '?' for what it lacks.
    if (outcome.error != 0) {
        attempt.level = kLogWarn;
        attempt.why = StrFormat("admin.log cannot be opened in [%s], %s", Narrow(folder).c_str(),
                                DescribeRefusal(outcome).c_str());
    } else if (!attempt.opened) {
        attempt.why = StrFormat("[%s] refused, %s", Narrow(LogPathIn(folder)).c_str(), DescribeRefusal(outcome).c_str());
    }
    return attempt;
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
    std::vector<BYTE> userBuffer;
    PSID user = UserSid(userBuffer);
    wchar_t dir[MAX_PATH] = L"";
    const DWORD rc = ::GetCurrentDirectoryW(MAX_PATH, dir);
    std::string why = CurrentDirectoryProblem(rc, MAX_PATH, ::GetLastError());
    std::wstring current;
    if (why.empty()) {
        const std::wstring real = FinalPath(dir);
        current = HomeIn(real, SharedRoots());
        // One that exists already is what is wanted; any other failure shows below.
        if (current != real)
            ::CreateDirectoryW(current.c_str(), nullptr);
        else
            current = dir;
        Attempt attempt;
        attempt.why = StartFolderProblem(current, user);
        if (attempt.why.empty())
            attempt = OpenLogIn(current, log, minLevel, user);
        if (attempt.opened) {
            home.path = current;
            if (!attempt.notKept.empty())
                home.notes.push_back({kLogError, attempt.notKept});
            return home;
        }
        why = kFallsBack + attempt.why;
        home.notes.push_back({attempt.level, why});
    } else {
        home.notes.push_back({kLogWarn, why});
    }
    const std::wstring fallback = FallbackFolder();
    // Without a profile folder the current directory is all there is.
    home.path = fallback.empty() ? current : fallback;
    if (fallback.empty()) {
        home.noLog = why + "\nno folder %LOCALAPPDATA%";
        return home;
    }
    const Attempt attempt = OpenLogIn(fallback, log, minLevel, user);
    if (!attempt.notKept.empty())
        home.notes.push_back({kLogError, attempt.notKept});
    if (!attempt.opened)
        home.noLog = why + "\n" + attempt.why;
    return home;
}
