#pragma once
// The result capture file as the worker writes an answer into it: opened at
// the answer's first frame and appended through that one handle until the
// conversation empties the capture for the next answer. It is the
// administrator's record of the last answer: the conversation reads the
// bytes as the worker received them, never back from the file. Others may
// read it, and even delete it, meanwhile (a virus scanner, a viewer). The
// real answers are a few kB; a server that streams without a pause must not
// fill the disk, so the file stops growing at a fixed size.
#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/ScopedHandle.h"

const uint64_t kCaptureLimitBytes = 1024 * 1024;

// Bytes of an `incoming` frame to append to a capture of `fileSize` bytes.
uint64_t CaptureRoom(uint64_t fileSize, uint64_t incoming, uint64_t limit = kCaptureLimitBytes);

// How the capture was made empty for the next answer.
enum class CaptureReplace {
    Deleted,         // the file is gone (or was never there)
    EmptiedInPlace,  // another program kept it open: cut to nothing through a handle shared with it
    Kept,            // neither: the old answer is still there
};

struct CaptureReplaced {
    CaptureReplace how = CaptureReplace::Deleted;
    DWORD heldError = 0;    // the delete's error while it failed; 0 when it went at once
    unsigned waitedMs = 0;  // how long the delete was tried again
    std::wstring path;
};

// How long a delete that another program's handle refuses is tried again,
// with pauses that double from the first: an on-access scanner holds a file
// for some tens of milliseconds at a time.
const unsigned kReplaceWaitMs = 2000;
const unsigned kReplaceFirstPauseMs = 25;

const int kCaptureOpenFailed = -10;
const int kCaptureWriteFailed = -20;

struct CaptureAppend {
    int rc = 0;               // 0, kCaptureOpenFailed or kCaptureWriteFailed
    DWORD error = 0;          // the system's code of the failure
    std::string refusal;      // why an existing name was not taken as the capture
    bool cut = false;         // the limit left out some of the frame
    uint64_t written = 0;     // bytes of the frame now in the file
};

class ResultCapture {
public:
    explicit ResultCapture(uint64_t limit = kCaptureLimitBytes, unsigned replaceWaitMs = kReplaceWaitMs)
        : m_limit(limit), m_replaceWaitMs(replaceWaitMs)
    {
    }

    // Appends a frame, opening the file first when no answer is being
    // written; a name that is a link or one of several names of a file is
    // refused (its writes would land elsewhere). No flush: the window reads through the system's cache, and a
    // write-through per frame would buy a reader on this machine nothing.
    // A write that fails is reported, never taken for a captured frame.
    CaptureAppend Append(const std::wstring& path, const char* text, uint64_t length);
    // The answer is over: the capture is made empty for the next one, on
    // the window's thread while the worker waits. Deleted when it can be;
    // a file another program holds is tried again for up to kReplaceWaitMs,
    // then emptied in place through a handle that shares with the holder
    // and is kept for the next answer.
    CaptureReplaced Replace(const std::wstring& path);
    void Close() { m_file.Reset(); }
    // The current answer has filled the file: what follows is dropped.
    bool Full() const { return m_file.Valid() && m_size >= m_limit; }

private:
    AutoCloseHandle m_file;
    uint64_t m_size = 0;
    uint64_t m_limit;
    unsigned m_replaceWaitMs;
};
