#pragma once
// Keeps a text on one line of a tool's output: backslash, TAB, CR and LF
// become \\, \t, \r and \n, so the tests can split the output by lines.
#include <string>

inline std::string EscapeLine(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}
