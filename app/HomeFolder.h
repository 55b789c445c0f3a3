#pragma once
// The monitor's home folder, which holds admin.log, admin.log.1 and the
// capture "result": the folder it was started in when that is the user's own
// (StartFolder.h) and the log can be kept there, else the user's own
// %LOCALAPPDATA%\Lumaro. The current directory is whatever the starter chose:
// a task without a start folder runs the monitor in the system folder, a
// shortcut may start it in the program's folder under Program Files, a
// folder deep enough may not fit the file calls' MAX_PATH, and a folder
// others can write may hold files planted under the program's names. Its
// name may hold what CP949 lacks (a user's folder in Thai, in Serbian or with
// an emoji): the path is wide.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class LogFile;

struct HomeFolder {
    std::wstring path;
    // Lines for the log once its banner stands, each with its level: why the
    // start folder is not the home, why the last run's log was not set apart.
    std::vector<std::pair<int, std::string>> notes;
    // Why no folder could hold the log, for the user; empty when it is open.
    std::string noLog;
};

// Chooses the home folder by opening `log` there as a new run's "admin.log"
// (the last run's becomes admin.log.1) with minimum level `minLevel`.
// Whether the folder can be written is learnt from that open itself, so no
// probe file is left behind.
HomeFolder OpenLogInHomeFolder(LogFile& log, int minLevel);

// Why the current directory, as GetCurrentDirectoryW gave it (`rc`, into a
// buffer of `size` characters, `error` its last error), cannot be the home
// folder; empty when it can: read whole, and short enough that every file
// the program keeps there still fits MAX_PATH characters.
std::string CurrentDirectoryProblem(DWORD rc, DWORD size, DWORD error);
