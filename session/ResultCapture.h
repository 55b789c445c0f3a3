#pragma once
// The result capture file: the server's answers after the login, appended
// frame by frame. The real answers are a few kB; a server that streams
// without a pause must not fill the disk, so the file stops growing at a
// fixed size.
#include <windows.h>

#include <cstdint>
#include <string>

const uint64_t kCaptureLimitBytes = 1024 * 1024;

// Bytes of an `incoming` frame to append to a capture of `fileSize` bytes.
uint64_t CaptureRoom(uint64_t fileSize, uint64_t incoming, uint64_t limit = kCaptureLimitBytes);

const int kCaptureOpenFailed = -10;
const int kCaptureWriteFailed = -20;

struct CaptureAppend {
    int rc = 0;               // 0, kCaptureOpenFailed or kCaptureWriteFailed
    DWORD error = 0;          // the system's code of the failure
    uint64_t sizeBefore = 0;  // the file's size before this frame
    bool cut = false;         // the limit left out some of the frame
};

// Opens, appends, flushes and closes, so that the file is complete on disk
// whenever the window reads or deletes it between two frames. A write or
// flush that fails is reported, never taken for a captured frame.
CaptureAppend AppendToCapture(const std::string& path, const char* text, uint64_t length,
                              uint64_t limit = kCaptureLimitBytes);
