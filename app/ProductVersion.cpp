// Kept apart from the version arithmetic, which builds anywhere: only this
// reading needs the Windows version API.
#include "app/VersionNumber.h"
#include "framework/SystemLibrary.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

int ReadProductVersionNumber(const char* path)
{
    // version.dll is no KnownDLL: from the system folder, read once; without
    // it the version is 0.0.0.0, as for a file without version resource.
    static const SystemLibrary library("version.dll");
    static const auto getInfo = library.Find<decltype(&::GetFileVersionInfoA)>("GetFileVersionInfoA");
    static const auto queryValue = library.Find<decltype(&::VerQueryValueA)>("VerQueryValueA");
    if (!getInfo || !queryValue)
        return 0;
    std::vector<char> info(4096);
    if (!getInfo(path, 0, static_cast<DWORD>(info.size()), info.data()))
        return 0;
    char* value = nullptr;
    UINT len = 0;
    if (!queryValue(info.data(), "\\StringFileInfo\\041204B0\\ProductVersion",
                    reinterpret_cast<void**>(&value), &len) || !value || len == 0)
        return 0;
    std::string text(value, strnlen(value, len));
    return VersionNumberFromText(text.c_str());
}
