#include "log/LogFormat.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const LogTime kMorning = {2026, 12, 6, 9, 5, 3, 7};
const std::string kStamp = "2026-12-06 09:05:03.007";
const std::string kEquals(78, '=');
const std::string kDashes(78, '-');

} // namespace

TEST(FormatLogLine, TagsEachLevelAndStartsTextAtColumn35)
{
    struct Case {
        int level;
        const char* tag;
    };
    const Case cases[] = {
        {0, "[MOST] "}, {1, "[FLOW] "}, {2, "[WARN] "}, {3, "[ERROR]"},
        {4, "[XXX]  "}, {7, "[XXX]  "}, {-1, "[XXX]  "},
    };
    for (const Case& c : cases) {
        const std::string line = FormatLogLine(kMorning, c.level, "connect succ");
        EXPECT_EQ(line, kStamp + "   " + c.tag + " connect succ\r\n") << "line of level " << c.level;
        EXPECT_EQ(line.find("connect succ"), 34u) << "text of level " << c.level << " must start at column 35";
    }
}

TEST(FormatLogLine, EmptyTextLeavesStampTagAndLineEnd)
{
    EXPECT_EQ(FormatLogLine(kMorning, 3, ""), kStamp + "   [ERROR] \r\n");
}

TEST(FormatLogLine, PadsEveryTimeField)
{
    const LogTime late = {2027, 1, 2, 23, 59, 58, 999};
    EXPECT_EQ(FormatLogLine(late, 1, "x"), "2027-01-02 23:59:58.999   [FLOW]  x\r\n");
}

TEST(FormatLogLine, KeepsLongTextWhole)
{
    const std::string text(10000, 'k');
    const std::string line = FormatLogLine(kMorning, 1, text.c_str());
    EXPECT_EQ(line.size(), 34 + text.size() + 2) << "a long text must not be cut";
}

TEST(DirectionTag, NamesBothDirectionsAndFallsBackOtherwise)
{
    struct Case {
        int direction;
        const char* tag;
    };
    const Case cases[] = {
        {1, "[Local -> Remote]"}, {2, "[Local <- Remote]"}, {0, "[XXXXX]"}, {3, "[XXXXX]"}, {-2, "[XXXXX]"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(DirectionTag(c.direction), c.tag) << "direction " << c.direction;
}

TEST(FormatDumpBlock, FramesEmptyDumpWithEmptyBodyLine)
{
    const std::string expected = kEquals + "\n" + kStamp + "   [Local <- Remote]   data_len:0\n" + kDashes +
                                 "\n" + "\n" + kEquals + "\n" + "\n";
    EXPECT_EQ(FormatDumpBlock(kMorning, 2, nullptr, 0), expected);
}

TEST(FormatDumpBlock, FullRowIsFollowedByEmptyLineBeforeClosingRule)
{
    std::vector<unsigned char> data;
    for (int i = 0; i < 16; ++i)
        data.push_back(static_cast<unsigned char>(0x30 + i));
    const std::string row =
        "0000   30 31 32 33 34 35 36 37 - 38 39 3a 3b 3c 3d 3e 3f      0123456789:;<=>?\n";
    const std::string expected = kEquals + "\n" + kStamp + "   [Local -> Remote]   data_len:16\n" + kDashes +
                                 "\n" + row + "\n" + kEquals + "\n" + "\n";
    EXPECT_EQ(FormatDumpBlock(kMorning, 1, data.data(), 16), expected);
}

TEST(FormatDumpBlock, PartialRowEndsDirectlyBeforeClosingRule)
{
    const unsigned char data[7] = {'a', 'b', 'c', 'd', 'e', 'f', 'g'};
    const std::string block = FormatDumpBlock(kMorning, 2, data, 7);
    const std::string tail = "abcdefg\n" + kEquals + "\n\n";
    ASSERT_GE(block.size(), tail.size());
    EXPECT_EQ(block.substr(block.size() - tail.size()), tail) << "block was:\n" << block;
}

TEST(FormatDumpBlock, HeaderGivesFullLengthOfCutDump)
{
    const std::vector<unsigned char> data(5000, 0x41);
    const std::string block = FormatDumpBlock(kMorning, 7, data.data(), 5000);
    EXPECT_EQ(block.substr(79, 23 + 3 + 7 + 3 + 13), kStamp + "   [XXXXX]   data_len:5000");
    const std::string tail = "..[0904]..\n       ..........\n" + kEquals + "\n\n";
    EXPECT_EQ(block.substr(block.size() - tail.size()), tail) << "marker must close the body";
    EXPECT_LE(block.size(), 20583u) << "a dump block must stay within its fixed size";
}
