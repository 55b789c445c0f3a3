#pragma once
// What a conversation does to the world around it, in two halves: the
// transport (the connection, its socket and the capture file), which
// SessionTransport carries out, and the screen (the log, timers, dialogs and
// boxes), which the window carries out. The unit tests record both. A send
// or the emptying of the capture returns its outcome, and the conversation
// goes on in the same call.
#include <string>

#include "session/ResultCapture.h"

class TransportEffects {
public:
    // A new connection, on a worker of its own; false when none could start.
    virtual bool Connect() = 0;
    // The send's result: the length when all went, else 0 or less (a
    // console that takes nothing for 2 s gives kSendTimedOut).
    virtual int Send(const std::string& command) = 0;
    // The capture made empty for the next answer, or why not.
    virtual CaptureReplaced ReplaceCapture() = 0;
    // A log line that the server's bytes caused (the scan of an answer's
    // lines): it counts against the connection's share of the log.
    virtual void LogTraffic(int level, const std::string& text) = 0;
    // Asks the running worker to end its conversation; it ends on its own.
    virtual void Hangup() = 0;

protected:
    ~TransportEffects() = default;
};

class ScreenEffects {
public:
    virtual void Log(int level, const std::string& text) = 0;
    virtual void StartTimer(int id, int periodMs) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void ShowReminder(int rTime) = 0;
    virtual void ShowWarning(int remainSec) = 0;
    virtual void ShowBox(const std::string& text) = 0;
    // The framework's box for a file that could not be deleted.
    virtual void ShowFileError(const std::wstring& path, unsigned long error) = 0;
    virtual void Close() = 0;

protected:
    ~ScreenEffects() = default;
};
