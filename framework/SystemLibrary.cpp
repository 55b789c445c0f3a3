#include "framework/SystemLibrary.h"

#include <algorithm>
#include <cstring>

namespace {
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Present from Windows 8 on, and on Windows 7 with the loader update
// (KB2533623) that also brings the LOAD_LIBRARY_SEARCH_ flags.
SetDefaultDllDirectoriesFn FindSetDefaultDllDirectories()
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(::GetProcAddress(kernel, "SetDefaultDllDirectories"))
                  : nullptr;
}

HMODULE LoadFromSystemFolder(const char* fileName)
{
    // The system folder's path is taken wide, as every path; the name is a
    // plain ASCII one.
    wchar_t path[MAX_PATH];
    const size_t nameLength = std::strlen(fileName);
    if (FindSetDefaultDllDirectories()) {
        if (nameLength >= MAX_PATH)
            return nullptr;
        std::copy(fileName, fileName + nameLength + 1, path);
        return ::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Without the search flags: the full path, and the altered search order
    // so that the library's own imports come from its folder, not ours.
    UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[length] = L'\\';
    std::copy(fileName, fileName + nameLength + 1, path + length + 1);
    return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
}

void RestrictDllSearchToSystemFolder()
{
    SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories();
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // An old Windows 7 keeps the program's folder first whatever we do; at
    // least the current directory, often the VPN client's, leaves the search.
    ::SetDllDirectoryW(L"");
}

SystemLibrary::SystemLibrary(const char* fileName) : m_module(LoadFromSystemFolder(fileName)) {}
