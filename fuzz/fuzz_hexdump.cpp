// Received bytes as the log's dump block shows them: the hex body alone and
// the whole framed block.
#include "log/HexDump.h"
#include "log/LogFormat.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

const size_t kFullRow = 79;         // offset, hex columns, chars, LF
const size_t kPartialRowBase = 62;  // a partial row without its r chars
const std::string kDoubleRule(78, '=');
const std::string kSingleRule(78, '-');

char Shown(unsigned char b)
{
    return (b >= 0x20 && b <= 0x7A) ? static_cast<char>(b) : '.';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;  // upper case is as wrong as any other character here
}

// Reads one row back: its offset, every hex byte and every shown character.
void CheckRow(const std::string& body, size_t start, const uint8_t* data, size_t offset, size_t count)
{
    char expectedOffset[16];
    std::snprintf(expectedOffset, sizeof(expectedOffset), "%04zu   ", offset);
    FUZZ_CHECK(body.compare(start, 7, expectedOffset) == 0, "row of offset %zu starts [%.7s]", offset,
               body.c_str() + start);
    size_t col = start + 7;
    for (size_t i = 0; i < 16; ++i, col += 3) {
        if (i < count) {
            int hi = HexValue(body[col]), lo = HexValue(body[col + 1]);
            FUZZ_CHECK(hi >= 0 && lo >= 0 && hi * 16 + lo == data[offset + i] && body[col + 2] == ' ',
                       "byte %zu shown as [%.3s], is %02x", offset + i, body.c_str() + col, data[offset + i]);
        } else {
            FUZZ_CHECK(body.compare(col, 3, "   ") == 0, "empty position %zu of the last row is not blank", i);
        }
        if (i == 7) {
            const char* gap = count >= 8 ? "- " : "  ";
            FUZZ_CHECK(body.compare(col + 3, 2, gap) == 0, "half-row gap [%.2s] in a row of %zu", body.c_str() + col + 3,
                       count);
            col += 2;
        }
    }
    FUZZ_CHECK(body.compare(col, 5, "     ") == 0, "no five blanks before the characters at offset %zu", offset);
    col += 5;
    for (size_t i = 0; i < count; ++i)
        FUZZ_CHECK(body[col + i] == Shown(data[offset + i]), "byte %02x shown as char %02x", data[offset + i],
                   static_cast<unsigned char>(body[col + i]));
}

void CheckBody(const uint8_t* data, size_t size, const std::string& body)
{
    const size_t shown = size > static_cast<size_t>(kHexDumpMaxShownBytes) ? kHexDumpMaxShownBytes : size;
    const size_t rows = shown / 16;
    const size_t rest = shown % 16;
    std::string marker;
    if (size > shown) {
        char count[32];
        std::snprintf(count, sizeof(count), "%04zu", size - shown);
        marker = std::string("       ..........\n       ..[") + count + "]..\n       ..........";
    }
    const size_t expected = rows * kFullRow + (rest ? kPartialRowBase + rest : 0) + marker.size();
    FUZZ_CHECK(body.size() == expected, "body of %zu bytes for %zu input bytes, expected %zu", body.size(), size,
               expected);

    for (size_t r = 0; r < rows; ++r) {
        CheckRow(body, r * kFullRow, data, r * 16, 16);
        FUZZ_CHECK(body[r * kFullRow + kFullRow - 1] == '\n', "full row %zu does not end in LF", r);
    }
    if (rest)
        CheckRow(body, rows * kFullRow, data, rows * 16, rest);
    if (!marker.empty())
        FUZZ_CHECK(body.compare(body.size() - marker.size(), marker.size(), marker) == 0, "cut marker missing");

    // The log file stays plain ASCII whatever was received.
    for (char c : body)
        FUZZ_CHECK(c == '\n' || (c >= 0x20 && c <= 0x7A), "raw byte %02x in the body", static_cast<unsigned char>(c));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int length = static_cast<int>(size);
    const std::string body = HexDumpBody(data, length);
    CheckBody(data, size, body);

    const LogTime time = {2026, 12, 6, 9, 5, 3, 7};
    const int direction = static_cast<int>(size % 4);  // 1 and 2 have tags, 0 and 3 the fallback
    const std::string block = FormatDumpBlock(time, direction, data, length);
    const std::string header =
        "2026-12-06 09:05:03.007   " + std::string(DirectionTag(direction)) + "   data_len:" + std::to_string(size);
    const std::string expected =
        kDoubleRule + "\n" + header + "\n" + kSingleRule + "\n" + body + "\n" + kDoubleRule + "\n\n";
    FUZZ_CHECK(block == expected, "block of %zu bytes, expected %zu", block.size(), expected.size());
    return 0;
}
