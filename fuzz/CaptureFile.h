#pragma once
// The fuzz input as the capture the conversation reads: its bytes go through
// the line splitter in pieces whose sizes the input picks, and the lines it
// gives must be those of fgets over the same file in Windows' text mode. The
// host's stdio does not translate, so CR LF is folded and a Ctrl-Z ends the
// text here first.
#include "session/ResultParser.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

inline std::string TextModeView(const uint8_t* data, size_t size)
{
    std::string text;
    text.reserve(size);
    for (size_t i = 0; i < size && data[i] != 0x1A; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        text += static_cast<char>(data[i]);
    }
    return text;
}

inline std::vector<std::string> FgetsLines(std::string text)
{
    std::vector<std::string> lines;
    // fmemopen refuses an empty buffer; an empty file has no lines anyway.
    if (text.empty())
        return lines;
    FILE* f = fmemopen(&text[0], text.size(), "r");
    FUZZ_CHECK(f != nullptr, "fmemopen of %zu bytes failed", text.size());
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, f))
        lines.push_back(buffer);
    std::fclose(f);
    return lines;
}

inline std::vector<std::string> ReadCaptureLines(const uint8_t* data, size_t size)
{
    std::vector<std::string> lines;
    CaptureLineSplitter splitter;
    for (size_t at = 0; at < size;) {
        size_t piece = std::min<size_t>(1 + data[at] % 64, size - at);
        splitter.Feed(reinterpret_cast<const char*>(data) + at, piece,
                      [&lines](const std::string& line) { lines.push_back(line); });
        at += piece;
    }
    // The answer's silence makes the unfinished line its last.
    if (!splitter.Unfinished().empty())
        lines.push_back(splitter.Unfinished().c_str());
    const std::string text = TextModeView(data, size);
    FUZZ_CHECK(lines == FgetsLines(text), "the splitter's %zu lines differ from fgets'", lines.size());

    // Lines come whole up to 1023 bytes and in 1023-byte pieces beyond; with no
    // NUL in the file, the pieces put together are the file.
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        FUZZ_CHECK(line.size() <= 1023, "line %zu has %zu bytes", i, line.size());
        FUZZ_CHECK(line.find('\n') == std::string::npos || line.find('\n') == line.size() - 1,
                   "line %zu holds an LF before its end", i);
        joined += line;
    }
    if (text.find('\0') == std::string::npos) {
        FUZZ_CHECK(joined == text, "lines put together give %zu bytes of %zu", joined.size(), text.size());
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            FUZZ_CHECK(lines[i].back() == '\n' || lines[i].size() == 1023, "line %zu ends early (%zu bytes)", i,
                       lines[i].size());
    }
    return lines;
}

// strtok's tokens of a line, as the parsers of old split it.
inline std::vector<std::string> StrtokTokens(const std::string& line, const char* delimiters)
{
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    std::vector<std::string> tokens;
    char* state = nullptr;
    for (char* t = strtok_r(buffer.data(), delimiters, &state); t; t = strtok_r(nullptr, delimiters, &state))
        tokens.emplace_back(t);
    return tokens;
}
