#pragma once
// The result capture file as the worker writes an answer into it: opened at
// the answer's first frame and appended through that one handle until the
// window empties the capture for the next answer. Others may read it, and
// even delete it, meanwhile (a virus scanner, a viewer), as the window reads
// it too. The real answers are a few kB; a server that streams without a
// pause must not fill the disk, so the file stops growing at a fixed size.
#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/ScopedHandle.h"

const uint64_t kCaptureLimitBytes = 1024 * 1024;

// Bytes of an `incoming` frame to append to a capture of `fileSize` bytes.
uint64_t CaptureRoom(uint64_t fileSize, uint64_t incoming, uint64_t limit = kCaptureLimitBytes);

const int kCaptureOpenFailed = -10;
const int kCaptureWriteFailed = -20;

struct CaptureAppend {
    int rc = 0;               // 0, kCaptureOpenFailed or kCaptureWriteFailed
    DWORD error = 0;          // the system's code of the failure
    std::string refusal;      // why an existing name was not taken as the capture
    bool cut = false;         // the limit left out some of the frame
};

class ResultCapture {
public:
    explicit ResultCapture(uint64_t limit = kCaptureLimitBytes) : m_limit(limit) {}

    // Appends a frame, opening the file first when no answer is being
    // written; a name that is a link or one of several names of a file is
    // refused (its writes would land elsewhere). No flush: the window reads through the system's cache, and a
    // write-through per frame would buy a reader on this machine nothing.
    // A write that fails is reported, never taken for a captured frame.
    CaptureAppend Append(const std::wstring& path, const char* text, uint64_t length);
    // The answer is over: the window is about to delete the file.
    void Close();
    // The current answer has filled the file: what follows is dropped.
    bool Full() const { return m_file.Valid() && m_size >= m_limit; }

private:
    AutoCloseHandle m_file;
    uint64_t m_size = 0;
    uint64_t m_limit;
};
