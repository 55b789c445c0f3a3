#include "log/LogFormat.h"

#include "framework/Format.h"
#include "log/HexDump.h"
#include "log/LogLevel.h"

namespace {

const size_t kRuleWidth = 78;

} // namespace

const char* LevelTag(int level)
{
    switch (level) {
    case kLogMost: return "[MOST] ";
    case kLogFlow: return "[FLOW] ";
    case kLogWarn: return "[WARN] ";
    case kLogError: return "[ERROR]";
    default: return "[XXX]  ";
    }
}

const char* DirectionTag(int direction)
{
    switch (direction) {
    case kDumpSent: return "[Local -> Remote]";
    case kDumpReceived: return "[Local <- Remote]";
    default: return "[XXXXX]";
    }
}

std::string EscapeLogText(const char* text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string FormatLogLine(const LogTime& time, int level, const char* text)
{
    return StrFormat("%04d-%02d-%02d %02d:%02d:%02d.%03d   %s %s\r\n", time.year, time.month, time.day,
                     time.hour, time.minute, time.second, time.millisecond, LevelTag(level),
                     text ? text : "");
}

std::string FormatDumpBlock(const LogTime& time, int direction, const unsigned char* data, int length)
{
    const std::string header =
        StrFormat("%04d-%02d-%02d %02d:%02d:%02d.%03d   %s   data_len:%d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.millisecond, DirectionTag(direction), length);
    const std::string doubleRule(kRuleWidth, '=');
    const std::string singleRule(kRuleWidth, '-');

    std::string block;
    block += doubleRule + '\n';
    block += header + '\n';
    block += singleRule + '\n';
    block += HexDumpBody(data, length) + '\n';
    block += doubleRule + '\n';
    block += '\n';
    return block;
}
