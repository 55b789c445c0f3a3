#pragma once
// The scanning half of ParseSummary and ParseAuth: lines of the result capture
// file in, the link or the session time and the log lines to write out. The
// main window opens the file, writes the log and sends the commands.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Reads the way a 1024-byte fgets buffer does: a line of up to 1023 bytes (its
// LF included) comes whole, a longer one in pieces of at most 1023 bytes, each
// piece a line of its own. A line is taken up to its first NUL. Open the file
// in text mode so that CR LF reads as one line end.
std::vector<std::string> ReadTextLines(FILE* f);
// The same reading, one line at a time through a single buffer, so that a
// capture of any size is parsed in constant memory; stops when onLine
// returns false.
void ForEachTextLine(FILE* f, const std::function<bool(const std::string&)>& onLine);

// The lines a text-mode fgets into a 1024-byte buffer would read, from the
// capture's bytes as they arrive: CR LF becomes LF (a lone CR stays), a line
// longer than 1023 characters comes in pieces of 1023, each piece is taken up
// to its first NUL, and a Ctrl-Z ends the text. Only what is certain is
// handed on: a piece is complete once its LF, or its 1023rd character, has
// arrived; the rest waits for more bytes.
class CaptureLineSplitter {
public:
    void Feed(const char* data, size_t length, const std::function<void(const std::string&)>& onLine);

private:
    void Add(char c, const std::function<void(const std::string&)>& onLine);

    std::string m_piece;
    bool m_pendingCr = false;
    bool m_ended = false;
};

struct ParseLogLine {
    int level;  // kLogFlow or kLogError
    std::string text;
};

struct SummaryScan {
    std::string link;  // empty: no link for the user
    std::vector<ParseLogLine> log;
};

// userWithTab is SessionConfig::m_user, the name with its TAB.
// True when one TAB-separated field of the row, blanks trimmed, is the name,
// and the name does not open the line.
bool SummaryRowHoldsUser(const std::string& line, const std::string& userWithTab);
SummaryScan ScanSummary(const std::vector<std::string>& lines, const std::string& userWithTab);
// One line of that scan; its log lines are appended to scan.log.
void ScanSummaryLine(SummaryScan& scan, const std::string& line, const std::string& userWithTab);

struct AuthScan {
    int rTime;          // rTimeBefore unless a "Session-Timeout" line gave a value
    std::vector<ParseLogLine> log;
    bool valueMissing;  // a "Session-Timeout" line without a number ended the scan
    bool valueFound = false;  // a "Session-Timeout" line gave a value
};

AuthScan ScanAuth(const std::vector<std::string>& lines, int rTimeBefore);
// One line of that scan; false when the scan ends there (a value is missing).
bool ScanAuthLine(AuthScan& scan, const std::string& line);
