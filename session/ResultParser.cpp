#include "session/ResultParser.h"

#include "framework/Format.h"
#include "log/LogLevel.h"

#include <climits>
#include <cstdlib>

namespace {

// A value token is read with its first 15 characters only, which no real
// answer comes near; the number stays within an int.
constexpr size_t kMaxValueChars = 15;

// strtok's view of a line: runs of delimiters separate, none are tokens.
std::vector<std::string> Tokenise(const std::string& line, const char* delimiters)
{
    std::vector<std::string> tokens;
    size_t pos = line.find_first_not_of(delimiters);
    while (pos != std::string::npos) {
        size_t end = line.find_first_of(delimiters, pos);
        tokens.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            break;
        pos = line.find_first_not_of(delimiters, end);
    }
    return tokens;
}

// What the C conversion would read a number from: blanks, a sign, digits.
bool StartsWithNumber(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t\r\n\v\f");
    if (i != std::string::npos && (text[i] == '+' || text[i] == '-'))
        ++i;
    return i != std::string::npos && i < text.size() && text[i] >= '0' && text[i] <= '9';
}

// Like atoi, but a number out of range is held at the nearest int instead of
// being undefined.
int ToInt(const std::string& digits)
{
    long long v = std::strtoll(digits.c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

const char kSummaryMatchLine[] = "summary 해당 user 검색 성공";
const char kAuthMatchLine[] = "Session-Timeout 검색 성공";

void CaptureLineSplitter::Add(char c, const std::function<void(const std::string&)>& onLine)
{
    m_piece += c;
    if (c == '\n' || m_piece.size() == 1023) {
        onLine(m_piece.c_str());  // a line is taken up to its first NUL
        m_piece.clear();
    }
}

void CaptureLineSplitter::Feed(const char* data, size_t length,
                               const std::function<void(const std::string&)>& onLine)
{
    for (size_t i = 0; i < length && !m_ended; ++i) {
        char c = data[i];
        if (m_pendingCr) {
            m_pendingCr = false;
            if (c == '\n') {
                Add('\n', onLine);
                continue;
            }
            Add('\r', onLine);
        }
        if (c == '\x1A')
            m_ended = true;
        else if (c == '\r')
            m_pendingCr = true;
        else
            Add(c, onLine);
    }
}

bool SummaryRowHoldsUser(const std::string& line, const std::string& userWithTab)
{
    std::string name = userWithTab;
    if (!name.empty() && name.back() == '\t')
        name.pop_back();
    // An idle link's user column is all blanks: no name is ever that.
    if (name.empty())
        return false;
    // The console prints the user column right-aligned in 8 characters, so a
    // short name comes with blanks in front; the name must still be the whole
    // field, or "kim" would take the row of "jkim". A line that begins with
    // the name is a header or an echo, not a user's row.
    for (size_t start = 0; start <= line.size();) {
        size_t tab = line.find('\t', start);
        size_t stop = tab == std::string::npos ? line.size() : tab;
        size_t first = start;
        while (first < stop && line[first] == ' ')
            ++first;
        size_t last = stop;
        while (last > first && line[last - 1] == ' ')
            --last;
        if (first > 0 && last - first == name.size() && line.compare(first, name.size(), name) == 0)
            return true;
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    return false;
}

void ScanSummaryLine(SummaryScan& scan, const std::string& line, const std::string& userWithTab)
{
    if (!SummaryRowHoldsUser(line, userWithTab))
        return;
    scan.log.push_back({kLogFlow, kSummaryMatchLine});
    std::vector<std::string> tokens = Tokenise(line, "\t");
    // The first token is the row's first column; the link is the fourth.
    if (tokens.size() >= 4) {
        scan.link = tokens[3];
        scan.log.push_back({kLogFlow, StrFormat("Link[%s]", scan.link.c_str())});
    } else if (tokens.size() == 3) {
        // A row that stops right before the link field has no link, and
        // takes back one found on an earlier row.
        scan.link.clear();
    }
}

bool ScanAuthLine(AuthScan& scan, const std::string& line)
{
    size_t at = line.find("Session-Timeout");
    if (at == std::string::npos || at == 0)
        return true;
    scan.log.push_back({kLogFlow, kAuthMatchLine});
    std::vector<std::string> tokens = Tokenise(line, " :");
    if (tokens.size() < 2) {
        scan.log.push_back({kLogError, "잔여시간 파싱 실패"});
        scan.valueMissing = true;
        return false;
    }
    // Only a line end is cut off the value: the last line of the capture
    // may have none, and "3600 sec" leaves the value without one.
    std::string value = tokens[1];
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    if (value.size() > kMaxValueChars)
        value.resize(kMaxValueChars);
    // A value without a number is no session time, not a time of 0.
    if (!StartsWithNumber(value)) {
        scan.log.push_back({kLogError, "잔여시간 파싱 실패"});
        return true;
    }
    scan.rTime = ToInt(value);
    scan.valueFound = true;
    scan.log.push_back({kLogFlow, StrFormat("rTime[%d]", scan.rTime)});
    return true;
}

namespace {

const size_t kMaxNameBytes = 32;

// A name the console gives a link or a bundle: printable, no blank, no bracket.
bool IsNameByte(unsigned char c)
{
    return c > ' ' && c != 0x7F && c != '[' && c != ']';
}

}  // namespace

bool IsConsolePrompt(const std::string& text)
{
    if (text.size() < 3 || text.size() > kMaxNameBytes + 3 || text.front() != '[' ||
        text.compare(text.size() - 2, 2, "] ") != 0)
        return false;
    for (size_t i = 1; i + 2 < text.size(); ++i)
        if (!IsNameByte(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

bool IsLinkName(const std::string& link)
{
    size_t length = link.size();
    if (length > 0 && link[length - 1] == '\n')
        --length;
    if (length == 0 || length > kMaxNameBytes)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (!IsNameByte(static_cast<unsigned char>(link[i])))
            return false;
    return true;
}
