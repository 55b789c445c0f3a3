#include "framework/Cp949.h"
#include "framework/Format.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(StrFormat, FormatsLongerThanAnyFixedBuffer)
{
    std::string big(5000, 'x');
    std::string s = StrFormat("[%s]%d", big.c_str(), 42);
    EXPECT_EQ(s.size(), 5004u);
    EXPECT_EQ(s.substr(5000), "x]42");
}

// These tests run under an English locale (CMakeLists.txt): a conversion
// that went through the ANSI code page would show here.
TEST(Cp949, ConvertsExplicitlyWhateverTheAnsiCodePage)
{
    ASSERT_NE(::GetACP(), kCp949) << "run under a locale other than Korean";
    struct Case {
        std::string cp949;
        std::wstring wide;
    } both[] = {
        {"잔여시간", L"\uC794\uC5EC\uC2DC\uAC04"},
        {"user01\t", L"user01\t"},
        {"\xC0", L"?"},                // a lead byte without its trail byte
        {"\xFF", L"\uF8F7"},           // no CP949 character: Windows' own mapping
    };
    for (const Case& c : both)
        EXPECT_EQ(Widen(c.cp949), c.wide) << c.cp949;
    struct Back {
        std::wstring wide;
        std::string cp949;
    } back[] = {
        {L"잔여시간 ★", "잔여시간 ★"},
        {L"\u00E0", "?"},              // no look-alike "a"
        {L"\u0402\u043E", "?о"},       // Serbian Dje is missing, Russian o is there
        {L"\U0001F600", "??"},         // one '?' for each UTF-16 unit
    };
    for (const Back& b : back)
        EXPECT_EQ(Narrow(b.wide), b.cp949) << "U+" << std::hex << static_cast<unsigned>(b.wide[0]);
}
