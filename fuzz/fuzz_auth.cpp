// The answer to "show auth" as the capture file holds it, scanned for the
// session time while none is known yet.
#include "session/ResultParser.h"

#include "CaptureFile.h"
#include "FuzzCheck.h"
#include "framework/Format.h"
#include "log/LogLevel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool Candidate(const std::string& line)
{
    size_t at = line.find("Session-Timeout");
    return at != std::string::npos && at > 0;
}

// What strtol reads a number from: blanks, a sign, then a digit.
bool NumberAhead(const std::string& s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    return i < s.size() && s[i] >= '0' && s[i] <= '9';
}

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> lines = ReadCaptureLines(data, size);
    AuthScan scan{-1, {}, false};
    for (size_t i = 0; i < lines.size() && ScanAuthLine(scan, lines[i]); ++i) {
    }

    // Walk the lines the way the scan should: stop at the first candidate
    // without a value; one whose value has no number (in its first 15
    // characters) is a failed parse that the scan goes past; otherwise the
    // last candidate with a number counts.
    size_t candidates = 0;
    bool missing = false;
    bool numbered = false;
    std::string lastValue;
    for (const std::string& line : lines) {
        if (!Candidate(line))
            continue;
        ++candidates;
        std::vector<std::string> tokens = StrtokTokens(line, " :");
        if (tokens.size() < 2) {
            missing = true;
            break;
        }
        if (NumberAhead(tokens[1].substr(0, 15))) {
            numbered = true;
            lastValue = tokens[1];
        }
    }

    if (candidates == 0) {
        FUZZ_CHECK(scan.rTime == -1, "rTime %d without a Session-Timeout line", scan.rTime);
        FUZZ_CHECK(scan.log.empty() && !scan.valueMissing, "log lines or a missing value without a candidate");
        return 0;
    }
    FUZZ_CHECK(scan.valueMissing == missing, "valueMissing %d, strtok says %d", scan.valueMissing, missing);
    if (missing) {
        FUZZ_CHECK(!scan.log.empty() && scan.log.back().level == kLogError &&
                       scan.log.back().text == "잔여시간 파싱 실패",
                   "a line without a value did not end in the parse error");
        return 0;
    }
    FUZZ_CHECK(scan.log.size() == 2 * candidates, "%zu log lines for %zu candidates", scan.log.size(), candidates);
    if (!numbered) {
        FUZZ_CHECK(scan.rTime == -1, "rTime %d without a number", scan.rTime);
        return 0;
    }
    FUZZ_CHECK(scan.valueFound, "a number was found but not taken");
    bool logged = false;
    for (const ParseLogLine& line : scan.log)
        logged = logged || (line.level == kLogFlow && line.text == StrFormat("rTime[%d]", scan.rTime));
    FUZZ_CHECK(logged, "no log line for rTime %d", scan.rTime);

    // A plain number of seconds, with or without its line end, is taken as it stands.
    std::string value = lastValue;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    if (AllDigits(value) && value.size() <= 9)
        FUZZ_CHECK(scan.rTime == std::atoi(value.c_str()), "rTime %d from value [%s]", scan.rTime, value.c_str());
    return 0;
}
