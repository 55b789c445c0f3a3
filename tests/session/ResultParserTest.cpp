#include "session/ResultParser.h"

#include "log/LogFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const kFound = "summary 해당 user 검색 성공";
const char* const kTimeoutFound = "Session-Timeout 검색 성공";
const char* const kValueMissing = "잔여시간 파싱 실패";

std::string Dump(const std::vector<ParseLogLine>& log)
{
    std::string s;
    for (const ParseLogLine& l : log)
        s += std::to_string(l.level) + ":" + l.text + " | ";
    return s;
}

// A file in the temp folder, written in binary and removed at the end.
class TempFile {
public:
    explicit TempFile(const std::string& content)
    {
        char dir[MAX_PATH];
        char name[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "lum", 0, name);
        m_path = name;
        FILE* f = std::fopen(m_path.c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    ~TempFile() { DeleteFileA(m_path.c_str()); }
    // The lines text-mode fgets into a 1024-byte buffer reads: the reading
    // the capture's splitter must give as the bytes arrive.
    std::vector<std::string> ReadLines() const
    {
        std::vector<std::string> lines;
        FILE* f = std::fopen(m_path.c_str(), "rt");
        char buffer[1024];
        while (f && std::fgets(buffer, sizeof buffer, f))
            lines.push_back(buffer);
        if (f)
            std::fclose(f);
        return lines;
    }
private:
    std::string m_path;
};

SummaryScan ScanSummary(const std::vector<std::string>& lines, const std::string& userWithTab)
{
    SummaryScan scan;
    for (const std::string& line : lines)
        ScanSummaryLine(scan, line, userWithTab);
    return scan;
}

AuthScan ScanAuth(const std::vector<std::string>& lines, int rTimeBefore)
{
    AuthScan scan{rTimeBefore, {}, false};
    for (size_t i = 0; i < lines.size() && ScanAuthLine(scan, lines[i]); ++i) {
    }
    return scan;
}

}  // namespace

TEST(CaptureLineSplitter, HandsTheLinesOfTextModeFgetsAsTheBytesArrive)
{
    const std::string cases[] = {
        std::string("Iface\tBund\r\n  ng7\t  user01\r\n\r\n"),
        std::string("lone\rcr\r\n\r\r\n"),
        std::string(1500, 'x') + "\r\n" + std::string(1022, 'y') + "\r\n",
        std::string("nul\0here\r\nnext\n", 15),
        std::string("row\r\n[7] "),
        std::string("ends in a lone CR\r"),
    };
    for (const std::string& content : cases) {
        TempFile file(content);
        std::vector<std::string> lines;
        CaptureLineSplitter splitter;
        for (char c : content)
            splitter.Feed(&c, 1, [&lines](const std::string& line) { lines.push_back(line); });
        // At the end of the file fgets also gives the unfinished line.
        if (!splitter.Unfinished().empty())
            lines.push_back(splitter.Unfinished().c_str());
        EXPECT_EQ(lines, file.ReadLines()) << "content of " << content.size() << " bytes";
    }
    // Text mode reads a Ctrl-Z as the end; an unfinished line waits.
    std::vector<std::string> lines;
    CaptureLineSplitter splitter;
    const std::string stopped = "a\r\nb\x1A" "c\r\n";
    splitter.Feed(stopped.data(), stopped.size(), [&lines](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(lines, std::vector<std::string>{"a\n"});
}

TEST(CaptureLineSplitter, TheUnfinishedLineIsWhatFgetsGivesLastAndMayBeThePrompt)
{
    struct Case {
        std::string bytes;
        std::string unfinished;
        bool prompt;
    } cases[] = {
        {"row\r\n[] ", "[] ", true},
        {"link 7\r\n[7] ", "[7] ", true},
        {"[B1] ", "[B1] ", true},
        {"[7] show auth", "[7] show auth", false},
        {"[7]", "[7]", false},
        {"[7 ] ", "[7 ] ", false},
        {"row\r\n[] \r", "[] \r", false},
        {"row\r\n", "", false},
        {std::string(1500, 'x'), std::string(477, 'x'), false},
    };
    for (const Case& c : cases) {
        CaptureLineSplitter splitter;
        splitter.Feed(c.bytes.data(), c.bytes.size(), [](const std::string&) {});
        EXPECT_EQ(splitter.Unfinished(), c.unfinished) << c.bytes.substr(0, 20);
        EXPECT_EQ(IsConsolePrompt(splitter.Unfinished()), c.prompt) << c.bytes.substr(0, 20);
    }
    for (const char* good : {"7", "L12", "7\n", "link-with-32-characters-exactly!"})
        EXPECT_TRUE(IsLinkName(good)) << good;
    for (const char* bad : {"", "\n", "7 ; reboot", "7\r", "7\x1b[2J", "link-with-33-characters-exactly!!"})
        EXPECT_FALSE(IsLinkName(bad)) << bad;
}

TEST(ScanSummary, FindsTheLinkOfTheUsersLine)
{
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string user;
        std::string link;
        std::vector<std::string> log;
    } cases[] = {
        {"fourth field of the user's line",
         {"Idx\tUser\tIP\tLink\tStatus\n", "  1\tuser01\t10.0.0.5\t7\tup\n", "  2\tuser02\t10.0.0.6\t3\tup\n"},
         "user01\t", "7", {kFound, "Link[7]"}},
        {"line beginning with the name is not taken", {"user01\t10.0.0.5\t7\tup\n"}, "user01\t", "", {}},
        {"name not followed by a TAB is not taken", {"  1\tuser01 10.0.0.5\t7\tup\n", "  2\tuser011\t1\t2\t3\n"},
         "user01\t", "", {}},
        {"the end of a longer name is another user", {"  1\tuser01\t10.0.0.5\t7\tup\n"}, "ser01\t", "", {}},
        {"a longer name listed after the user's own row does not take over",
         {"  1\tkim\t10.0.0.5\t7\tup\n", "  2\tjkim\t10.0.0.6\t9\tup\n"}, "kim\t", "7", {kFound, "Link[7]"}},
        {"three tokens empty an earlier link", {"  1\tuser01\t10.0.0.5\t7\tup\n", "  9\tuser01\t\n"}, "user01\t", "",
         {kFound, "Link[7]", kFound}},
        {"two tokens leave the link", {"  1\tuser01\t10.0.0.5\t7\tup\n", "  9\tuser01\t\t"}, "user01\t", "7",
         {kFound, "Link[7]", kFound}},
        {"last matching line decides", {"  1\tuser01\ta\t7\tup\n", "  2\tuser01\tb\t9\tup\n"}, "user01\t", "9",
         {kFound, "Link[7]", kFound, "Link[9]"}},
        {"runs of TABs are one separator", {"  1\t\tuser01\t\t\t10.0.0.5\t7\n"}, "user01\t", "7\n",
         {kFound, "Link[7\n]"}},
        {"leading TABs are skipped", {"\t\t1\tuser01\t10.0.0.5\t7\tup\n"}, "user01\t", "7", {kFound, "Link[7]"}},
        {"LF stays in the last token", {"  1\tuser01\t10.0.0.5\t12\n"}, "user01\t", "12\n", {kFound, "Link[12\n]"}},
        // Rows as the console prints them: the user column is "%8s".
        {"padded short name", {"ng7\tB7\tUp\tL12\tOPENED\tpptp\tREADY\t  user01\t198.51.100.9\n"}, "user01\t",
         "L12", {kFound, "Link[L12]"}},
        {"name of 8 or more unpadded", {"ng8\tB8\tUp\tL3\tOPENED\tpptp\tREADY\tparkjihoon\t198.51.100.7\n"},
         "parkjihoon\t", "L3", {kFound, "Link[L3]"}},
        {"kim after a padded jkim",
         {"ng1\tB1\tUp\tL1\tOPENED\tpptp\tREADY\t    jkim\t1.1.1.1\n",
          "ng2\tB2\tUp\tL2\tOPENED\tpptp\tREADY\t     kim\t1.1.1.2\n"},
         "kim\t", "L2", {kFound, "Link[L2]"}},
        {"kim before a padded jkim",
         {"ng2\tB2\tUp\tL2\tOPENED\tpptp\tREADY\t     kim\t1.1.1.2\n",
          "ng1\tB1\tUp\tL1\tOPENED\tpptp\tREADY\t    jkim\t1.1.1.1\n"},
         "kim\t", "L2", {kFound, "Link[L2]"}},
        {"idle row's blank user column", {"\t\t\tL5\tINITIAL\tpptp\tIDLE\t        \t\n"}, "user01\t", "", {}},
        {"idle row and an empty name", {"\t\t\tL5\tINITIAL\tpptp\tIDLE\t        \t\n"}, "\t", "", {}},
        {"no lines", {}, "user01\t", "", {}},
    };
    for (const Case& c : cases) {
        SummaryScan scan = ScanSummary(c.lines, c.user);
        EXPECT_EQ(scan.link, c.link) << c.name;
        std::vector<ParseLogLine> expected;
        for (const std::string& text : c.log)
            expected.push_back({kLogFlow, text});
        EXPECT_EQ(Dump(scan.log), Dump(expected)) << c.name;
    }
}

TEST(ScanAuth, TakesTheValueOfTheSessionTimeoutLine)
{
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int before;
        int rTime;
    } cases[] = {
        {"well-formed line", {"  Session-Timeout : 86400\n"}, -1, 86400},
        {"last line without line end", {"  Idle-Timeout : 600\n", "  Session-Timeout : 86400"}, -1, 86400},
        {"CR LF line end", {"  Session-Timeout : 86400\r\n"}, -1, 86400},
        {"unit after the value", {"  Session-Timeout : 3600 sec\n"}, -1, 3600},
        {"colons as separators", {"::Session-Timeout::7200\n"}, -1, 7200},
        {"TAB before the value", {"  Session-Timeout :\t1800\n"}, -1, 1800},
        {"negative value", {"  Session-Timeout : -5\n"}, -1, -5},
        {"last matching line decides", {"  Session-Timeout : 100\n", "x\n", "  Session-Timeout : 200\n"}, -1, 200},
        {"line beginning with the name is not taken", {"Session-Timeout : 3600\n"}, -1, -1},
        {"no line keeps the value", {"  Idle-Timeout : 600\n"}, -1, -1},
        {"no line keeps an earlier value", {"  Idle-Timeout : 600\n"}, 500, 500},
        {"only the first 15 characters count", {"  Session-Timeout : 000000000000003600\n"}, -1, 3},
        {"too large a number is held at the limit", {"  Session-Timeout : 99999999999\n"}, -1, INT_MAX},
    };
    for (const Case& c : cases) {
        AuthScan scan = ScanAuth(c.lines, c.before);
        EXPECT_EQ(scan.rTime, c.rTime) << c.name;
        EXPECT_FALSE(scan.valueMissing) << c.name;
    }
}

TEST(ScanAuth, LogsEachMatchAndItsValue)
{
    AuthScan scan = ScanAuth({"  Session-Timeout : 100\n", "  Session-Timeout : 86400\n"}, -1);
    std::vector<ParseLogLine> expected = {
        {kLogFlow, kTimeoutFound}, {kLogFlow, "rTime[100]"}, {kLogFlow, kTimeoutFound}, {kLogFlow, "rTime[86400]"}};
    EXPECT_EQ(Dump(scan.log), Dump(expected));
}

TEST(ScanAuth, LineWithoutAValueStopsTheScanAndOneWithoutANumberIsSkipped)
{
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int rTime;
        bool stops;
    } cases[] = {
        {"name and line end only", {"  Session-Timeout\n", "  Session-Timeout : 300\n"}, -1, true},
        {"name and colon at the end of the file", {"  Session-Timeout : 100\n", "  Session-Timeout :"}, 100, true},
        {"a value without digits is no time of 0", {"  Session-Timeout : none\n"}, -1, false},
        {"a word before the name makes the name the value", {"Reply Session-Timeout = 3600\n"}, -1, false},
        {"a later line still gives the time", {"  Session-Timeout : none\n", "  Session-Timeout : 300\n"}, 300, false},
    };
    for (const Case& c : cases) {
        AuthScan scan = ScanAuth(c.lines, -1);
        EXPECT_EQ(scan.valueMissing, c.stops) << c.name;
        EXPECT_EQ(scan.rTime, c.rTime) << c.name;
        const auto failure = std::find_if(scan.log.begin(), scan.log.end(), [](const ParseLogLine& line) {
            return line.level == kLogError && line.text == kValueMissing;
        });
        EXPECT_NE(failure, scan.log.end()) << c.name << ": the failed parse is logged";
    }
}
