#include "app/CommandLine.h"

#include <string>

CommandKind ClassifyCommandLine(const char* cmdLine)
{
    std::string word;
    for (const char* p = cmdLine ? cmdLine : ""; *p; ++p) {
        if (*p != ' ')
            word += *p;
        else if (!word.empty())
            break;
    }
    // Whole words: a user called "killian" or "noticeboard" runs a monitor.
    if (word.empty())
        return kCmdEmpty;
    if (word == "kill")
        return kCmdKill;
    if (word == "notice")
        return kCmdNotice;
    return kCmdMonitor;
}

void SplitCommandLine(char* cmdLine, std::string& first, std::string& second)
{
    first.clear();
    second.clear();
    std::string* targets[2] = {&first, &second};
    int found = 0;
    char* p = cmdLine;
    while (p && *p && found < 2) {
        while (*p == ' ')
            ++p;
        if (!*p)
            break;
        char* start = p;
        while (*p && *p != ' ')
            ++p;
        if (*p)
            *p++ = '\0';  // the tokeniser ends each token in place
        *targets[found++] = start;
    }
}
