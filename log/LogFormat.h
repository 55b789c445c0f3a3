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

// "stamp   [TAG]  text" ending in CR LF.
std::string FormatLogLine(const LogTime& time, int level, const char* text);

// The framed dump: "=" rule, header with the full length, "-" rule, hex body,
// "=" rule, empty line; every line ends in LF alone.
std::string FormatDumpBlock(const LogTime& time, int direction, const unsigned char* data, int length);
