#include "log/HexDump.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

std::string Blanks(size_t n)
{
    return std::string(n, ' ');
}

// "ABCDEFGHIJKLMNOPQ": one full row and one byte more.
std::vector<unsigned char> Letters(int count)
{
    std::vector<unsigned char> bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<unsigned char>('A' + i));
    return bytes;
}

const std::string kFirstFullRow =
    "0000   41 42 43 44 45 46 47 48 - 49 4a 4b 4c 4d 4e 4f 50 " + Blanks(5) + "ABCDEFGHIJKLMNOP\n";

} // namespace

TEST(HexDumpBody, IsEmptyForNoBytes)
{
    const unsigned char byte = 0x41;
    EXPECT_EQ(HexDumpBody(&byte, 0), "") << "a length of 0 must give an empty body";
    EXPECT_EQ(HexDumpBody(&byte, -3), "") << "a negative length must give an empty body";
}

TEST(HexDumpBody, LaysOutFullAndPartialRows)
{
    struct Case {
        int length;
        std::string expected;
    };
    const Case cases[] = {
        // Fewer than 8 bytes: two blanks stand where the "- " separator goes.
        {7, "0000   41 42 43 44 45 46 47 " + Blanks(3) + "  " + Blanks(24) + Blanks(5) + "ABCDEFG"},
        {8, "0000   41 42 43 44 45 46 47 48 - " + Blanks(24) + Blanks(5) + "ABCDEFGH"},
        {16, kFirstFullRow},
        {17, kFirstFullRow + "0016   51 " + Blanks(7 * 3) + "  " + Blanks(24) + Blanks(5) + "Q"},
    };
    const std::vector<unsigned char> data = Letters(17);
    for (const Case& c : cases)
        EXPECT_EQ(HexDumpBody(data.data(), c.length), c.expected) << "body of " << c.length << " bytes";
}

TEST(HexDumpBody, ShowsOnlyBytesFromBlankToLowercaseZ)
{
    struct Case {
        unsigned char byte;
        const char* hex;
        char shown;
    };
    const Case cases[] = {
        {0x20, "20", ' '}, {0x41, "41", 'A'}, {0x7A, "7a", 'z'}, {0x7B, "7b", '.'}, {0x7E, "7e", '.'},
        {0x7F, "7f", '.'}, {0x0D, "0d", '.'}, {0x00, "00", '.'}, {0xB0, "b0", '.'}, {0xFF, "ff", '.'},
    };
    for (const Case& c : cases) {
        const std::string body = HexDumpBody(&c.byte, 1);
        EXPECT_EQ(body.substr(7, 3), std::string(c.hex) + " ") << "hex of byte 0x" << c.hex;
        ASSERT_FALSE(body.empty());
        EXPECT_EQ(body.back(), c.shown) << "character shown for byte 0x" << c.hex;
    }
}

TEST(HexDumpBody, CutsAfter4096BytesAndCountsTheRest)
{
    std::vector<unsigned char> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i);
    const std::string body = HexDumpBody(data.data(), 5000);

    const std::string marker = "       ..........\n       ..[0904]..\n       ..........";
    const size_t rowsLength = 256 * 79;
    ASSERT_EQ(body.size(), rowsLength + marker.size()) << "expected 256 full rows and the marker";
    EXPECT_EQ(body.substr(rowsLength), marker) << "marker must follow the last full row with no line end";
    for (int row = 0; row < 256; ++row) {
        const std::string line = body.substr(row * 79, 79);
        char offset[8];
        snprintf(offset, sizeof offset, "%04d", row * 16);
        EXPECT_EQ(line.substr(0, 4), offset) << "offset of row " << row;
        EXPECT_EQ(line.back(), '\n') << "row " << row << " must end in LF";
    }
}

TEST(HexDumpBody, MarksOnlyWhenBytesAreLeftOut)
{
    std::vector<unsigned char> data(4097, 0x41);
    const std::string whole = HexDumpBody(data.data(), 4096);
    EXPECT_EQ(whole.size(), 256u * 79) << "4096 bytes are shown in full, without a marker";

    const std::string cut = HexDumpBody(data.data(), 4097);
    EXPECT_EQ(cut.substr(whole.size()), "       ..........\n       ..[0001]..\n       ..........")
        << "one byte past the limit is counted in the marker";
}
