#include "log/HexDump.h"

#include "framework/Format.h"

namespace {

const int kBytesPerRow = 16;
const int kBytesPerHalfRow = 8;

// Blank up to lowercase z only: braces, tilde, DEL, control and high bytes would
// make the column unreadable or be taken for CP949 lead bytes by the viewer.
char ShownChar(unsigned char byte)
{
    return (byte >= 0x20 && byte <= 0x7A) ? static_cast<char>(byte) : '.';
}

void AppendHexByte(std::string& out, unsigned char byte)
{
    static const char kDigits[] = "0123456789abcdef";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
    out += ' ';
}

// One row without its line end; count is 16 for a full row, 1 to 15 for the last.
void AppendRow(std::string& out, const unsigned char* bytes, int offset, int count)
{
    out += StrFormat("%04d   ", offset);
    for (int i = 0; i < kBytesPerRow; ++i) {
        if (i < count)
            AppendHexByte(out, bytes[i]);
        else
            out += "   ";
        if (i == kBytesPerHalfRow - 1)
            out += (count >= kBytesPerHalfRow) ? "- " : "  ";
    }
    out += "     ";
    for (int i = 0; i < count; ++i)
        out += ShownChar(bytes[i]);
}

} // namespace

std::string HexDumpBody(const unsigned char* data, int length)
{
    std::string body;
    if (!data || length <= 0)
        return body;

    const int shown = (length > kHexDumpMaxShownBytes) ? kHexDumpMaxShownBytes : length;
    int offset = 0;
    for (; offset + kBytesPerRow <= shown; offset += kBytesPerRow) {
        AppendRow(body, data + offset, offset, kBytesPerRow);
        body += '\n';
    }
    if (offset < shown)
        AppendRow(body, data + offset, offset, shown - offset);
    if (length > shown)
        body += StrFormat("       ..........\n       ..[%04d]..\n       ..........", length - shown);
    return body;
}
