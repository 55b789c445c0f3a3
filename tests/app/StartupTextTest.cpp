// The monitor's start-up decisions and the texts it shows, without a window.
#include "app/CommandLine.h"
#include "app/DurationFormat.h"
#include "app/HandOver.h"
#include "app/HomeFolder.h"
#include "app/StartFolder.h"
#include "app/SessionConfig.h"
#include "app/TrayTip.h"
#include "app/UnixTime.h"
#include "app/VersionNumber.h"
#include "framework/CWinApp.h"
#include "framework/Cp949.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

TEST(CommandLine, ClassifiesByTheWholeFirstWord)
{
    struct Case {
        const char* line;
        CommandKind kind;
    } cases[] = {
        {"", kCmdEmpty},          {nullptr, kCmdEmpty},        {"   ", kCmdEmpty},
        {"kill", kCmdKill},       {"kill  ", kCmdKill},        {" kill x", kCmdKill},
        {"killer x", kCmdMonitor}, {"Kill", kCmdMonitor},      {"kil", kCmdMonitor},
        {"notice", kCmdNotice},   {"notice 10.0.0.1", kCmdNotice}, {"noticeboard", kCmdMonitor},
        {"user01 VPN", kCmdMonitor},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyCommandLine(c.line), c.kind) << "command line [" << (c.line ? c.line : "(null)") << "]";
}

TEST(CommandLine, SplitTakesTwoTokensAtRunsOfBlanks)
{
    struct Case {
        std::string line, first, second;
    } cases[] = {
        {"user01 VPN", "user01", "VPN"},
        {"user01  VPN", "user01", "VPN"},
        {"  user01 VPN extra more", "user01", "VPN"},
        {"user01", "user01", ""},
        {"   ", "", ""},
        {"user01\tx VPN", "user01\tx", "VPN"},
    };
    for (Case& c : cases) {
        std::vector<char> buf(c.line.begin(), c.line.end());
        buf.push_back('\0');
        std::string first = "stale", second = "stale";
        SplitCommandLine(buf.data(), first, second);
        EXPECT_EQ(first, c.first) << "line [" << c.line << "]";
        EXPECT_EQ(second, c.second) << "line [" << c.line << "]";
    }
}

TEST(VersionNumber, TextComesBackOutOfTheNumberWithSpillOver)
{
    struct Case {
        const char* value;
        int number;
        const char* text;
    } cases[] = {
        {"1, 0, 3, 1", 1000301, "1.0.3.1"},
        {"1,0,3,1", 1000301, "1.0.3.1"},
        {"1, 1, 345, 6", 1044506, "1.4.45.6"},  // c above 99 spills into b
        {"2, 5", 2050000, "2.5.0.0"},           // missing pieces count as 0
        {"", 0, "0.0.0.0"},
        {"x, 1, 2, 3", 10203, "0.1.2.3"},
        {"9999999999, 0, 0, 0", INT_MAX, "2147.48.36.47"},  // held to the int range
    };
    for (const Case& c : cases) {
        int n = VersionNumberFromText(c.value);
        EXPECT_EQ(n, c.number) << "value [" << c.value << "]";
        EXPECT_EQ(VersionText(n), c.text) << "value [" << c.value << "]";
    }
}

TEST(VersionNumber, ReadsTheProductVersionOfThisTestProgramsResources)
{
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_EQ(ReadProductVersionNumber(path), 1000301) << "resources linked into the test carry 1, 0, 3, 1";
    EXPECT_EQ(ReadProductVersionNumber(L"C:\\no\\such\\file.exe"), 0);
}

TEST(DurationFormat, SplitsSecondsIntoDaysAndClock)
{
    struct Case {
        int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "00일 00:00:00"},       {7200, "00일 02:00:00"},     {100, "00일 00:01:40"},
        {7100, "00일 01:58:20"},    {100000, "01일 03:46:40"},   {86399, "00일 23:59:59"},
        {99 * 86400, "99일 00:00:00"}, {100 * 86400 + 1, "100일 00:00:01"},
        // The extremes: no negative time, nothing past the largest 32-bit count.
        {-1, "00일 00:00:00"},     {INT64_MIN, "00일 00:00:00"}, {INT_MAX, "24855일 03:14:07"},
        {INT64_MAX, "24855일 03:14:07"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDuration(c.seconds), c.text) << c.seconds << " s";
}

TEST(TrayTip, TextFollowsTheSessionState)
{
    struct Case {
        int state, retry, rTime;
        int64_t elapsed;
        const char* text;
    } cases[] = {
        {0, 0, -1, 5, "Admin서버에 접속 시도중..."},
        {1, 4, -1, 5, "Admin서버에 재접속(4) 시도중... "},
        {10, 0, -1, 5, "Admin서버 로그인 완료"},
        {20, 0, -1, 5, "#show summary 요청 성공"},
        {21, 0, -1, 5, "show summary 정보 수신중..."},
        {23, 0, -1, 5, "show summary 정보 수신중..."},
        {30, 0, -1, 5, "#show auth 요청 성공"},
        {32, 0, -1, 5, "show auth 정보 수신중..."},
        {40, 0, 7200, 100, "[남은시간] 00일 01:58:20"},
        {40, 0, 100, 100, "[남은시간] 00일 00:00:00"},
        {40, 0, 100, 101, ""},  // time used up
        {40, 0, -1, 100, ""},   // time not known
        {5, 0, 7200, 100, "NONE"},
        // A huge session time and a clock set far back do not wrap around.
        {40, 0, INT_MAX, -(int64_t(1) << 40), "[남은시간] 24855일 03:14:07"},
        {40, 0, INT_MAX, INT64_MAX, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrayTipText(c.state, c.retry, c.rTime, c.elapsed), c.text) << "state " << c.state;
}

TEST(UnixTime, AStartAfter2038IsCountedAndCarriedWhole)
{
    struct Case {
        SYSTEMTIME utc;
        int64_t seconds;
    } cases[] = {
        {{2038, 1, 2, 19, 3, 14, 7, 0}, 2147483647},
        {{2038, 1, 2, 19, 3, 14, 8, 0}, 2147483648},  // where a 32-bit time() wraps
        {{2106, 2, 0, 7, 6, 28, 16, 0}, 4294967296},  // where an unsigned one does
    };
    for (const Case& c : cases) {
        FILETIME ft;
        ASSERT_TRUE(SystemTimeToFileTime(&c.utc, &ft));
        SessionConfig config;
        config.m_tStart = UnixSecondsFromFileTime(ft);
        EXPECT_EQ(config.m_tStart, c.seconds) << c.utc.wYear << ": the start must be counted and kept in 64 bits";
    }
}

TEST(HomeFolder, CurrentDirectoryIsUsedOnlyWhenReadWholeWithRoomForEveryFile)
{
    struct Case {
        DWORD rc;
        const char* problem;
    } cases[] = {
        {247, ""},  // "\\admin.log.1" still fits MAX_PATH characters
        {248, "home folder falls back: current directory of 248 characters, longer than 247"},
        {299, "home folder falls back: current directory of 298 characters, longer than 247"},  // the size it needs
        {0, "home folder falls back: current directory unreadable, rc=2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CurrentDirectoryProblem(c.rc, MAX_PATH, ERROR_FILE_NOT_FOUND), c.problem) << "rc " << c.rc;
}

TEST(StartFolder, NeitherTheWindowsFolderNorAProgramFilesFolderIsAHome)
{
    const std::vector<std::wstring> system = {L"C:\\Windows", L"C:\\Program Files\\", L"C:\\Program Files (x86)"};
    struct Case {
        const wchar_t* folder;
        const char* problem;
    } cases[] = {
        {L"C:\\Windows\\System32", "[C:\\Windows\\System32] is a system folder, in [C:\\Windows]"},
        {L"c:\\windows", "[c:\\windows] is a system folder, in [C:\\Windows]"},
        {L"C:\\Program Files (x86)\\Lumaro",
         "[C:\\Program Files (x86)\\Lumaro] is a system folder, in [C:\\Program Files (x86)]"},
        {L"C:\\WindowsApps", ""},
        {L"C:\\Users\\kim\\AppData\\Local", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SystemFolderProblem(c.folder, system), c.problem) << Narrow(c.folder);
}

TEST(StartFolder, AFolderOfEveryProgramsDataGivesTheProgramsOwnFolderInIt)
{
    const std::vector<std::wstring> roots = {L"C:\\Users\\kim", L"C:\\Users\\kim\\AppData\\Local"};
    EXPECT_EQ(HomeIn(L"C:\\Users\\kim\\appdata\\local", roots), L"C:\\Users\\kim\\AppData\\Local\\Lumaro");
    EXPECT_EQ(HomeIn(L"C:\\Users\\kim", roots), L"C:\\Users\\kim\\Lumaro");
    EXPECT_EQ(HomeIn(L"C:\\Users\\kim\\Documents", roots), L"C:\\Users\\kim\\Documents") << "a folder of its own";
}

TEST(StartFolder, OnlyTheUserSystemAndAdministratorsMayWriteTheFolderOrWhatItHolds)
{
    // The user is S-1-5-21-1-2-3-1000, as SDDL shows what icacls lists.
    PSID user = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1-2-3-1000", &user));
    struct Case {
        const char* name;
        const wchar_t* sddl;
        const char* writer;
    } cases[] = {
        {"a profile folder",
         L"O:S-1-5-21-1-2-3-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-1-2-3-1000)", ""},
        {"users may add files", L"O:BAD:(A;OICI;FA;;;BA)(A;CI;0x2;;;BU)", "S-1-5-32-545"},
        {"everyone may change the files", L"O:BAD:(A;OICI;FA;;;BA)(A;OIIO;FW;;;WD)", "S-1-1-0"},
        {"users may read", L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", ""},
        {"users may write subfolders only", L"O:BAD:(A;OICI;FA;;;BA)(A;CIIO;FA;;;BU)", ""},
        {"each file its creator's", L"O:SYD:(A;OICIIO;FA;;;CO)", ""},
        {"another user's folder", L"O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;S-1-5-21-1-2-3-1000)", "owner S-1-5-21-1-2-3-1001"},
        {"no access list", L"O:S-1-5-21-1-2-3-1000", "everyone"},
    };
    for (const Case& c : cases) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        PSID owner = nullptr;
        PACL dacl = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, &sd, nullptr))
            << c.name;
        GetSecurityDescriptorOwner(sd, &owner, &defaulted);
        GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
        EXPECT_EQ(OtherWriter(owner, dacl, user), c.writer) << c.name;
        LocalFree(sd);
    }
    LocalFree(user);
}

TEST(CommandLine, ProgramNameIsSkippedAsTheRuntimeSkipsIt)
{
    struct Case {
        const wchar_t* line;
        const wchar_t* rest;
    } cases[] = {
        {L"lumaro.exe user01 VPN", L"user01 VPN"},
        {L"\"C:\\Program Files\\Lumaro\\lumaro.exe\"  kill", L"kill"},
        {L"C:\\\"Pel mor\"\\lumaro.exe\tnotice 10.0.0.1", L"notice 10.0.0.1"},  // quotes inside the name
        {L"lumaro.exe 김철수 VPN", L"김철수 VPN"},
        {L"lumaro.exe", L""},
        {L"\"lumaro.exe", L""},  // a quote left open runs to the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(SkipProgramName(c.line)), c.rest) << Narrow(c.line);
}

TEST(HandOver, AsksTheOlderMonitorToQuitUntilItIsGoneAndSaysWhyWhenItStays)
{
    const HWND older = reinterpret_cast<HWND>(0x1234);
    struct Case {
        const char* name;
        bool marked;
        int goneAfterPosts;  // -1: never goes
        bool postRefused;
        int posts;
        std::string error;
    } cases[] = {
        {"no older monitor", false, 0, false, 0, ""},
        {"block left by a monitor without a window", true, 0, false, 0, ""},
        {"retired by the second request", true, 2, false, 2, ""},
        {"refused at once, e.g. a monitor of higher integrity", true, -1, true, 1,
         "older monitor not retired: PostMessage(WM_INSTANCE_QUIT) failed, rc=5"},
        {"ignores every request", true, -1, false, 10, "older monitor not retired after 10 requests"},
    };
    for (const Case& c : cases) {
        int posts = 0, sleeps = 0;
        HandOverCalls calls;
        calls.instanceMarked = [&] { return c.marked; };
        calls.findMonitor = [&] { return c.goneAfterPosts < 0 || posts < c.goneAfterPosts ? older : nullptr; };
        calls.postQuit = [&](HWND) { ++posts; return !c.postRefused; };
        calls.lastError = [] { return static_cast<DWORD>(ERROR_ACCESS_DENIED); };
        calls.sleep = [&](DWORD) { ++sleeps; };
        EXPECT_EQ(RetireOlderMonitor(calls), c.error) << c.name;
        EXPECT_EQ(posts, c.posts) << c.name;
        EXPECT_EQ(sleeps, c.postRefused ? 0 : posts) << c.name << ": a second after each accepted request";
    }
}

TEST(HandOver, OnlyTheRequestInTheInstanceBlockRetiresAMonitorNeverADmReposition)
{
    const HWND self = reinterpret_cast<HWND>(0x1234), other = reinterpret_cast<HWND>(0x5678);
    char block[kInstanceBlockSize] = {}, empty[kInstanceBlockSize] = {};
    WriteHandOverRequest(block, self, 77);
    struct Case {
        const char* name;
        const void* block;
        HWND window;
        LPARAM lParam;
        bool retires;
    } cases[] = {
        {"the newer monitor's request", block, self, 77, true},
        {"DM_REPOSITION, lParam 0", block, self, 0, false},
        {"another number", block, self, 78, false},
        {"a request for another window", block, other, 77, false},
        {"no request in the block", empty, self, 77, false},
        {"no block mapped", nullptr, self, 77, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsHandOverRequest(c.block, c.window, c.lParam), c.retires) << c.name;
    WriteHandOverRequest(block, nullptr, 0);
    EXPECT_FALSE(IsHandOverRequest(block, self, 77)) << "a request answered is cleared";
    EXPECT_NE(NewHandOverNumber(), 0u) << "no request may carry DM_REPOSITION's lParam";
}
