#pragma once
// What a command line asks the program to do, and the split of a monitor's
// command line into user and connection name.
#include <string>

enum CommandKind { kCmdEmpty, kCmdKill, kCmdNotice, kCmdMonitor };

// By the first blank-separated word: none (an empty line or blanks only,
// so no user name), "kill", "notice", anything else.
CommandKind ClassifyCommandLine(const char* cmdLine);

// Splits at blanks (runs of blanks are one separator), in place as the
// framework's tokeniser does. Missing tokens leave their text empty.
void SplitCommandLine(char* cmdLine, std::string& first, std::string& second);
