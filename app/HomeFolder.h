#pragma once
// The monitor's home folder, which holds admin.log and the capture "result":
// the folder it was started in when the log can be kept there, else the
// user's own %LOCALAPPDATA%\Lumaro. The current directory is whatever the
// starter chose: a shortcut may start the monitor in the program's folder
// under Program Files, which a standard user cannot write, a folder deep
// enough may not fit the file calls' MAX_PATH, and a folder others can write
// may hold an admin.log planted as a link. Its name may hold what CP949
// lacks (a user's folder in Thai, in Serbian or with an emoji): the path is wide.
#include <windows.h>

#include <string>

class LogFile;

struct HomeFolder {
    std::wstring path;
    // Empty when the current directory is the home folder; else the line
    // that says why not, to be logged at whyLevel.
    std::string whyNotCurrent;
    int whyLevel = 0;
};

// Chooses the home folder by opening `log` there as "admin.log", started
// afresh with minimum level `minLevel`. Whether the folder can be written is
// learnt from that open itself, so no probe file is left behind.
HomeFolder OpenLogInHomeFolder(LogFile& log, int minLevel);

// Why the current directory, as GetCurrentDirectoryW gave it (`rc`, into a
// buffer of `size` characters, `error` its last error), cannot be the home
// folder; empty when it can: read whole, and short enough that every file
// the program keeps there still fits MAX_PATH characters.
std::string CurrentDirectoryProblem(DWORD rc, DWORD size, DWORD error);
