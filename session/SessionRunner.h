#pragma once
// Carries out what the conversation's state machine asks for, through the
// effects a window provides: the one place where actions are run and their
// outcomes handed back.
#include "session/SessionStateMachine.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class SessionEffects {
public:
    virtual void Log(int level, const std::string& text) = 0;
    // The worker's send result: the length when all went, else 0 or less.
    virtual int Send(const std::string& command) = 0;
    // False when an old capture exists and cannot be deleted (the user has been told).
    virtual bool DeleteCapture() = 0;
    // Hands the capture's lines to onLine until it returns false; false
    // when the capture cannot be opened.
    virtual bool ReadCapture(const std::function<bool(const std::string&)>& onLine) = 0;
    // Hands the capture's bytes from `offset` on to onBytes, as they are;
    // false when the capture cannot be opened.
    virtual bool ReadCaptureFrom(int offset, const std::function<void(const std::string&)>& onBytes) = 0;
    virtual void StartTimer(int id, int periodMs) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void ShowReminder(int rTime) = 0;
    virtual void ShowWarning(int remainSec) = 0;
    virtual void ShowBox(const std::string& text) = 0;
    virtual void StartWorker() = 0;
    virtual void Close() = 0;

protected:
    ~SessionEffects() = default;
};

// Runs `actions` and whatever the outcomes of awaited actions lead to, then
// publishes the machine's state in `workerState`, the one value the session
// worker reads. An awaited action must end its list: a list that breaks
// that rule stops at the action (nothing after it runs, its outcome is
// still handed back), is logged as an ERROR, fails an assertion in a debug
// build, and makes the result false.
bool RunSessionActions(SessionStateMachine& machine, SessionActions actions, SessionEffects& effects,
                       std::atomic<int32_t>& workerState);
