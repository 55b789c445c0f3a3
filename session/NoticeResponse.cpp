#include "session/NoticeResponse.h"

#include "log/LogFormat.h"

#include <cstring>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "HTTP/" digit "." digit " 200", then a blank or the line's end.
bool IsOkStatusLine(const std::string& line)
{
    static const char kOk[] = " 200";
    const size_t okAt = 8;
    if (line.size() < okAt + std::strlen(kOk) || line.compare(0, 5, "HTTP/") != 0 || !IsDigit(line[5]) ||
        line[6] != '.' || !IsDigit(line[7]) || line.compare(okAt, std::strlen(kOk), kOk) != 0)
        return false;
    const size_t after = okAt + std::strlen(kOk);
    return after == line.size() || line[after] == ' ';
}

} // namespace

int NoticeBodyOffset(const char* block, int length)
{
    for (int i = 0; i + 4 <= length; ++i) {
        if (block[i] == '\r' && block[i + 1] == '\n' && block[i + 2] == '\r' && block[i + 3] == '\n')
            return i + 4 < length ? i + 4 : -1;
    }
    return -1;
}

NoticeStatus ReadNoticeStatus(const char* block, int length)
{
    NoticeStatus status;
    int end = 0;
    while (end < length && block[end] != '\r' && block[end] != '\n')
        ++end;
    // A status line cut off by the block's end is not taken: its code may be anything.
    const bool whole = end < length;
    status.line.assign(block, static_cast<size_t>(end < kStatusLineShown ? end : kStatusLineShown));
    status.shown = whole && IsOkStatusLine(status.line);
    return status;
}

std::string NoticeRefusedText(const NoticeStatus& status)
{
    return "lumaro notice: not shown, status line [" + EscapeLogText(status.line.c_str()) + "]\n";
}
