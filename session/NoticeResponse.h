#pragma once
// Where the notice begins in the first block of an HTTP answer, and whether
// that answer is one to show at all.
#include <string>

// Offset of the body bytes that follow the end of the head (an empty line,
// CR LF CR LF) inside the block, or -1 when the block holds no body bytes
// after a complete head: the notice is then the next block.
int NoticeBodyOffset(const char* block, int length);

// The first line of the answer's first block, as the server sent it (at
// most kStatusLineShown bytes); `shown` is true only for "HTTP/x.y 200"
// followed by a blank or the line end. Anything else, an error page, a
// proxy's answer or no HTTP at all, is no notice.
struct NoticeStatus {
    bool shown = false;
    std::string line;
};
const int kStatusLineShown = 200;
NoticeStatus ReadNoticeStatus(const char* block, int length);

// The one line that says a notice was not shown, with its status line's
// control characters escaped: the server wrote it.
std::string NoticeRefusedText(const NoticeStatus& status);
