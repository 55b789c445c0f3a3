#pragma once
// The text of one log line and of one traffic dump block, apart from the file
// and the clock, so that both layouts can be checked byte by byte.
#include <string>

// The local time fields a log entry is stamped with.
struct LogTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
    int millisecond;
};

// Exactly 7 characters, so that every line's text starts in the same column.
const char* LevelTag(int level);
const char* DirectionTag(int direction);

// A text as it may stand in a log line: control characters (below 0x20 but
// TAB, and DEL) become "\x1b" and the like, so that no text, least of all
// one a server sent, can end a line early, forge the next one or steer the
// terminal that shows the log. Every other byte, CP949 text included, stays.
std::string EscapeLogText(const char* text);

// "stamp   [TAG]  text" ending in CR LF; the text is taken as it is.
std::string FormatLogLine(const LogTime& time, int level, const char* text);

// The framed dump: "=" rule, header with the full length, "-" rule, hex body,
// "=" rule, empty line; every line ends in LF alone.
std::string FormatDumpBlock(const LogTime& time, int direction, const unsigned char* data, int length);
