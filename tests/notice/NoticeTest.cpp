// The notice request, the stored date, and the registry key wrapper against
// the real registry of the Wine prefix.
#include "notice/NoticeDate.h"
#include "notice/NoticeRequest.h"
#include "notice/RegistryKey.h"
#include "session/NoticeResponse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(NoticeRequest, SevenLinesWithTheHostSixthAndAnEmptyLineLast)
{
    std::string expected =
        "GET /notice HTTP/1.1\r\n"
        "Accept: image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n"
        "Accept-Language: ko\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1) ; .NET CLR 2.0.50727; .NET CLR 1.1.4322; InfoPath.2)\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "Host: 10.0.0.1\r\n"
        "Connection: Keep-Alive\r\n"
        "\r\n";
    EXPECT_EQ(BuildNoticeRequest("10.0.0.1"), expected);
}

TEST(NoticeRequest, HostIsTheSecondToken)
{
    EXPECT_EQ(NoticeHostFromCommand("notice 10.0.0.1"), "10.0.0.1");
    EXPECT_EQ(NoticeHostFromCommand("notice   10.0.0.1  extra"), "10.0.0.1");
    EXPECT_EQ(NoticeHostFromCommand("notice"), "");
    EXPECT_EQ(NoticeHostFromCommand("notice "), "");
}

TEST(NoticeRequest, DateIsZeroPadded)
{
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 7;
    EXPECT_EQ(NoticeDateText(t), "2026-03-07");
}

TEST(NoticeResponse, BodyInTheFirstBlockStartsAfterTheEmptyLine)
{
    struct Case {
        std::string block;
        int offset;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 38},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", -1},  // head alone: the next block is the notice
        {"HTTP/1.1 200 OK\r\nContent-Le", -1},                 // head cut: the next block
        {"", -1},
        {"\r\n\r\nx", 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NoticeBodyOffset(c.block.data(), static_cast<int>(c.block.size())), c.offset) << c.block;
}

TEST(NoticeResponse, OnlyA200AnswerIsShownAndTheRefusalQuotesItsStatusLine)
{
    struct Case {
        std::string block;
        const char* refusal;  // what the debugger channel gets; null: shown
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\nhello", nullptr},
        {"HTTP/1.1 200\r\n", nullptr},
        {"HTTP/1.1 404 Not Found\r\n\r\n<html>no notice</html>", "[HTTP/1.1 404 Not Found]"},
        {"HTTP/1.1 2000 OK\r\n", "[HTTP/1.1 2000 OK]"},
        {"ICY 200 OK\r\n", "[ICY 200 OK]"},
        {"HTTP/1.1 200 OK", "[HTTP/1.1 200 OK]"},  // its line end not in the block: the code is not known
        {"HTTP/1.1 404 \x1b[2JGone\r\n", "[HTTP/1.1 404 \\x1b[2JGone]"},
    };
    for (const Case& c : cases) {
        const NoticeStatus status = ReadNoticeStatus(c.block.data(), static_cast<int>(c.block.size()));
        EXPECT_EQ(status.shown, c.refusal == nullptr) << c.block;
        if (c.refusal) {
            EXPECT_EQ(NoticeRefusedText(status), "lumaro notice: not shown, status line " + std::string(c.refusal) + "\n");
        }
    }
}

class RegistryKeyTest : public ::testing::Test {
protected:
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kPath); }
    static constexpr const char* kPath = "Software\\LumaroUnitTest";
};

TEST_F(RegistryKeyTest, OpenFailsUntilCreatedThenValuesRoundTrip)
{
    RegistryKey key(HKEY_CURRENT_USER);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, kPath));
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kPath));
    ASSERT_TRUE(key.WriteString("date", "2026-12-06"));
    EXPECT_EQ(key.m_lastResult, ERROR_SUCCESS);
    key.Close();

    RegistryKey again(HKEY_CURRENT_USER);
    ASSERT_TRUE(again.Open(HKEY_CURRENT_USER, kPath));
    std::string value = "unchanged";
    ASSERT_TRUE(again.ReadString("date", value));
    EXPECT_EQ(value, "2026-12-06");
    EXPECT_EQ(again.m_lastType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(again.m_lastSize, 22u) << "stored as UTF-16 with its terminating NUL";
    EXPECT_FALSE(again.ReadString("missing", value));
    EXPECT_EQ(value, "2026-12-06") << "a failed read leaves the text unchanged";

    // As the ANSI calls of earlier releases stored it: the registry keeps the same UTF-16.
    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_SET_VALUE, &raw), ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExA(raw, "date", 0, REG_SZ, reinterpret_cast<const BYTE*>("2026-12-07"), 11), ERROR_SUCCESS);
    ::RegCloseKey(raw);
    ASSERT_TRUE(again.ReadString("date", value));
    EXPECT_EQ(value, "2026-12-07");
    EXPECT_EQ(again.m_lastSize, 22u) << "the same bytes as the W call stores";
}

TEST_F(RegistryKeyTest, ValueLongerThanTheBufferIsRefused)
{
    RegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kPath));
    ASSERT_TRUE(key.WriteString("long", std::string(250, 'a')));
    std::string value = "unchanged";
    EXPECT_FALSE(key.ReadString("long", value));
    EXPECT_EQ(value, "unchanged");
    ASSERT_TRUE(key.WriteString("fits", std::string(199, 'b')));
    EXPECT_TRUE(key.ReadString("fits", value));
    EXPECT_EQ(value, std::string(199, 'b'));
}

// The two places of the date stand in for HKLM and HKCU: keys of the test's
// own, or a root that refuses everything, as Windows refuses a standard
// user's write to HKLM where no virtualization applies (Wine refuses nothing).
TEST_F(RegistryKeyTest, NoticeDateGoesToTheUsersPlaceWhereTheMachinesRefusesIt)
{
    const HKEY refusing = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7FFFFFF0));
    const std::string today = "2026-12-07";
    struct Case {
        const char* name;
        bool machineRefuses, userRefuses;
        bool stored;
        const char* inMachine;  // the date in each place afterwards, "" for none
        const char* inUser;
    } cases[] = {
        {"machine takes it", false, false, true, "2026-12-07", ""},
        {"machine refuses: the user's place", true, false, true, "", "2026-12-07"},
        {"both refuse: said, not silent", true, true, false, "", ""},
    };
    for (const Case& c : cases) {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kPath);
        const char* names[2] = {"Software\\LumaroUnitTest\\machine", "Software\\LumaroUnitTest\\user"};
        bool refuses[2] = {c.machineRefuses, c.userRefuses};
        HKEY places[2] = {refusing, refusing};
        for (int i = 0; i < 2; ++i) {
            if (refuses[i])
                continue;
            ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, names[i], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        &places[i], nullptr), ERROR_SUCCESS);
        }
        NoticeDateRoots roots = {places[0], places[1]};
        EXPECT_EQ(StoreNoticeDate(roots, today), c.stored) << c.name;
        for (int i = 0; i < 2; ++i) {
            RegistryKey key(places[i]);
            std::string found;
            if (key.Open(places[i], kNoticeRegistryPath))
                key.ReadString(kNoticeRegistryValue, found);
            EXPECT_EQ(found, i == 0 ? c.inMachine : c.inUser) << c.name << (i == 0 ? ": machine" : ": user");
        }
        EXPECT_EQ(NoticeDeclinedOn(roots, today), c.stored) << c.name << ": read back from either place";
        EXPECT_FALSE(NoticeDeclinedOn(roots, "2026-12-08")) << c.name << ": another day";
        for (HKEY place : places)
            if (place != refusing)
                ::RegCloseKey(place);
    }
}
