#include "app/CommandLine.h"

#include <cstring>

CommandKind ClassifyCommandLine(const char* cmdLine)
{
    if (!cmdLine || cmdLine[0] == '\0')
        return kCmdEmpty;
    if (std::strncmp(cmdLine, "kill", 4) == 0)
        return kCmdKill;
    if (std::strncmp(cmdLine, "notice", 6) == 0)
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
