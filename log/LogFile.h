#pragma once
// The diagnostics log "admin.log": level-tagged lines and framed dumps of the
// server's traffic, written by the main thread and the session worker alike.
#include <windows.h>

#include <mutex>
#include <string>

#include "framework/ScopedHandle.h"
#include "log/LogLevel.h"

// Results of LogFile::CopyTo.
const int kCopyNotOpen = -10;        // the log is closed
const int kCopyNoDestination = -20;  // the destination cannot be opened
const int kCopyReadFailed = -30;     // reading the log failed: the copy is incomplete
const int kCopyWriteFailed = -40;    // writing the copy failed (a full disk, say)

class LogFile {
public:
    LogFile() = default;
    virtual ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Only the first successful call counts; a failed open leaves the log closed and silent.
    void Open(const char* path, BOOL append, int minLevel);
    void Write(int level, const char* text);
    void DumpTraffic(int direction, const char* data, int length);
    // 0 when copied, else one of the kCopy codes above.
    int CopyTo(const char* path);

private:
    void EmptyWhenFull();

    int m_minLevel = 0;
    std::string m_line;
    int m_open = 0;
    std::string m_path;
    AutoCloseHandle m_file;
    // Main thread and session worker share the line text and the file position.
    std::mutex m_lock;
};

// Copies what is left of `source` from its file position to `dest`: 0, or
// kCopyReadFailed / kCopyWriteFailed at the first read or write that fails.
int CopyFileContents(HANDLE source, HANDLE dest);
