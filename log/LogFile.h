#pragma once
// The diagnostics log "admin.log": level-tagged lines and framed dumps of the
// server's traffic, written by the main thread and the session worker alike.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "framework/PlainFile.h"
#include "framework/ScopedHandle.h"
#include "log/LogLevel.h"

// Results of LogFile::CopyTo.
const int kCopyNotOpen = -10;        // the log is closed
const int kCopyNoDestination = -20;  // the destination cannot be opened
const int kCopyReadFailed = -30;     // reading the log failed: the copy is incomplete
const int kCopyWriteFailed = -40;    // writing the copy failed (a full disk, say)

// A full log is kept under its own name and this, when the next one starts.
const wchar_t kKeptLogSuffix[] = L".1";

class LogFile {
public:
    LogFile() = default;
    virtual ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Only the first successful call counts; a failed open leaves the log
    // closed and silent. The file is held for reading by others, not for
    // writing, and is refused when it is not a plain file (see PlainFile.h).
    // The outcome says whether the log is open, or why not. The path is wide:
    // a home folder's name may hold what CP949 lacks.
    PlainFileOutcome Open(const wchar_t* path, BOOL append, int minLevel);
    // One line; control characters in the text are shown escaped
    // (EscapeLogText). Each of these gives the bytes it added to the log.
    size_t Write(int level, const char* text);
    // One entry of several lines, each escaped, joined by LF alone.
    size_t WriteLines(int level, const std::vector<std::string>& lines);
    size_t DumpTraffic(int direction, const char* data, int length);
    // 0 when copied, else one of the kCopy codes above.
    int CopyTo(const wchar_t* path);

private:
    // Where a full log is kept when the next one starts: the path and ".1".
    std::wstring KeptPath() const;
    size_t WriteEntry(int level, const std::string& text);
    void StartAfreshWhenFull();
    // Copies the full log to KeptPath(); an empty text, or why it was not kept.
    std::string KeepFullLog();

    int m_minLevel = 0;
    std::string m_line;
    int m_open = 0;
    std::wstring m_path;
    AutoCloseHandle m_file;
    // Main thread and session worker share the line text and the file position.
    std::mutex m_lock;
};

// Copies what is left of `source` from its file position to `dest`: 0, or
// kCopyReadFailed / kCopyWriteFailed at the first read or write that fails.
int CopyFileContents(HANDLE source, HANDLE dest);
