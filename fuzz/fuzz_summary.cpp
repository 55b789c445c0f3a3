// The answer to "show summary" as the capture file holds it, scanned for the
// link of user01.
#include "session/ResultParser.h"

#include "CaptureFile.h"
#include "FuzzCheck.h"
#include "log/LogLevel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const std::string kUser = "user01\t";

// The user is a whole TAB-separated field, blanks around it allowed (the
// console pads its user column), whose name does not open the line.
bool HoldsUser(const std::string& line)
{
    const std::string name = kUser.substr(0, kUser.size() - 1);
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    size_t offset = 0;
    for (const std::string& field : fields) {
        size_t lead = field.find_first_not_of(' ');
        size_t trail = field.find_last_not_of(' ');
        if (lead != std::string::npos && field.substr(lead, trail - lead + 1) == name && offset + lead > 0)
            return true;
        offset += field.size() + 1;
    }
    return false;
}

// The link by strtok: of each line holding the user, the fourth token; a
// line of exactly three tokens empties it.
std::string LinkByStrtok(const std::vector<std::string>& lines, size_t& matches)
{
    std::string link;
    matches = 0;
    for (const std::string& line : lines) {
        if (!HoldsUser(line))
            continue;
        ++matches;
        std::vector<std::string> tokens = StrtokTokens(line, "\t");
        if (tokens.size() >= 4)
            link = tokens[3];
        else if (tokens.size() == 3)
            link.clear();
    }
    return link;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> lines = ReadCaptureLines(data, size);
    SummaryScan scan;
    for (const std::string& line : lines)
        ScanSummaryLine(scan, line, kUser);

    FUZZ_CHECK(scan.link.find('\t') == std::string::npos, "link [%s] holds a TAB", scan.link.c_str());
    FUZZ_CHECK(scan.link.find('\0') == std::string::npos, "link holds a NUL");

    size_t matches = 0;
    const std::string expected = LinkByStrtok(lines, matches);
    FUZZ_CHECK(scan.link == expected, "link [%s], strtok gives [%s]", scan.link.c_str(), expected.c_str());

    size_t found = 0;
    std::string lastLink;
    for (const ParseLogLine& line : scan.log) {
        FUZZ_CHECK(line.level == kLogFlow, "summary scan logged level %d: %s", line.level, line.text.c_str());
        if (line.text.compare(0, 5, "Link[") == 0)
            lastLink = line.text;
        else
            ++found;
    }
    FUZZ_CHECK(found == matches, "%zu lines reported found, %zu hold the user", found, matches);
    if (!scan.link.empty())
        FUZZ_CHECK(lastLink == "Link[" + scan.link + "]", "last link line [%s] for link [%s]", lastLink.c_str(),
                   scan.link.c_str());
    return 0;
}
