// Kept apart from the version arithmetic, which builds anywhere: only this
// reading needs the Windows version API.
#include "app/VersionNumber.h"
#include "framework/Cp949.h"
#include "framework/SystemLibrary.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

int ReadProductVersionNumber(const wchar_t* path)
{
    // version.dll is no KnownDLL: from the system folder, read once; without
    // it the version is 0.0.0.0, as for a file without version resource.
    static const SystemLibrary library("version.dll");
    static const auto getInfo = library.Find<decltype(&::GetFileVersionInfoW)>("GetFileVersionInfoW");
    static const auto queryValue = library.Find<decltype(&::VerQueryValueW)>("VerQueryValueW");
    if (!getInfo || !queryValue)
        return 0;
    std::vector<char> info(4096);
    if (!getInfo(path, 0, static_cast<DWORD>(info.size()), info.data()))
        return 0;
    wchar_t* value = nullptr;
    UINT len = 0;  // in characters
    if (!queryValue(info.data(), L"\\StringFileInfo\\041204B0\\ProductVersion", reinterpret_cast<void**>(&value),
                    &len) || !value || len == 0)
        return 0;
    return VersionNumberFromText(Narrow(std::wstring(value, wcsnlen(value, len))).c_str());
}
