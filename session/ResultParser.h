#pragma once
// The reading of the console's answers: the capture's bytes in, the lines
// text-mode fgets would give, and from them the user's link or the session
// time with the log lines to write out. The conversation feeds and decides.
#include <functional>
#include <string>
#include <vector>

// The lines a text-mode fgets into a 1024-byte buffer would read, from the
// capture's bytes as they arrive: CR LF becomes LF (a lone CR stays), a line
// longer than 1023 characters comes in pieces of 1023, each piece is taken up
// to its first NUL, and a Ctrl-Z ends the text. Only what is certain is
// handed on: a piece is complete once its LF, or its 1023rd character, has
// arrived; the rest waits for more bytes.
class CaptureLineSplitter {
public:
    void Feed(const char* data, size_t length, const std::function<void(const std::string&)>& onLine);
    // The text past the last complete line: what fgets would give as the
    // last line at the end of the file.
    std::string Unfinished() const { return m_pendingCr ? m_piece + '\r' : m_piece; }

private:
    void Add(char c, const std::function<void(const std::string&)>& onLine);

    std::string m_piece;
    bool m_pendingCr = false;
    bool m_ended = false;
};

// The line each match of a scan begins its log lines with.
extern const char kSummaryMatchLine[];
extern const char kAuthMatchLine[];

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
// One line of the summary; its log lines are appended to scan.log. Every
// matching row sets the link again: the last one decides.
void ScanSummaryLine(SummaryScan& scan, const std::string& line, const std::string& userWithTab);

struct AuthScan {
    int rTime;          // rTimeBefore unless a "Session-Timeout" line gave a value
    std::vector<ParseLogLine> log;
    bool valueMissing;  // a "Session-Timeout" line without a value ended the scan
    bool valueFound = false;  // a "Session-Timeout" line gave a value
};

// One line of the auth answer; false when the scan ends there (the line has
// no value at all), and nothing after that line counts. A value without a
// number is logged as a failed parse and the scan goes on: a later line may
// still give the time.
bool ScanAuthLine(AuthScan& scan, const std::string& line);

// The console writes "[", the link or bundle selected (nothing when none) and
// "] " after each command's output, with no line end: the one sign that an
// answer is whole.
bool IsConsolePrompt(const std::string& text);

// A link as the console names one: 1 to 32 bytes without blanks or control
// characters (a line end after it aside). Anything else is not sent back.
bool IsLinkName(const std::string& link);
