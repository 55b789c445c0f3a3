// Kept apart from the version arithmetic, which builds anywhere: only this
// reading needs the Windows version API.
#include "app/VersionNumber.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

int ReadProductVersionNumber(const char* path)
{
    std::vector<char> info(4096);
    if (!::GetFileVersionInfoA(path, 0, static_cast<DWORD>(info.size()), info.data()))
        return 0;
    char* value = nullptr;
    UINT len = 0;
    if (!::VerQueryValueA(info.data(), "\\StringFileInfo\\041204B0\\ProductVersion",
                          reinterpret_cast<void**>(&value), &len) || !value || len == 0)
        return 0;
    std::string text(value, strnlen(value, len));
    return VersionNumberFromText(text.c_str());
}
