#include "app/VersionNumber.h"

#include "framework/Format.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

int VersionNumberFromText(const char* text)
{
    int parts[4] = {0, 0, 0, 0};
    const char* p = text ? text : "";
    for (int i = 0; i < 4 && p; ++i) {
        parts[i] = std::atoi(p);
        p = std::strchr(p, ',');
        if (p)
            ++p;
    }
    return parts[0] * 1000000 + parts[1] * 10000 + parts[2] * 100 + parts[3];
}

std::string VersionText(int n)
{
    return StrFormat("%d.%d.%d.%d", n / 1000000, (n % 1000000) / 10000, (n % 10000) / 100, n % 100);
}

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
