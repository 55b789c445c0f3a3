#include "framework/Cp949.h"

#include <windows.h>

std::wstring Widen(const std::string& cp949)
{
    if (cp949.empty())
        return std::wstring();
    const int length = static_cast<int>(cp949.size());
    int wide = ::MultiByteToWideChar(kCp949, 0, cp949.data(), length, nullptr, 0);
    std::wstring out(static_cast<size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0)
        ::MultiByteToWideChar(kCp949, 0, cp949.data(), length, &out[0], wide);
    return out;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    // Without the flag Windows would write a look-alike for what CP949 lacks
    // (best fit): a name would then pass for another one.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    int bytes = ::WideCharToMultiByte(kCp949, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        ::WideCharToMultiByte(kCp949, flags, text.data(), length, &out[0], bytes, nullptr, nullptr);
    return out;
}
