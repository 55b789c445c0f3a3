#pragma once
// How a new monitor retires an older one: while the instance block exists
// and a monitor window is found, ask it to quit and give it a second, at
// most ten times. The system calls are passed in, so the decisions can be
// tried without a second process.
#include <windows.h>

#include <functional>
#include <string>

const int kHandOverAttempts = 10;
const DWORD kHandOverWaitMs = 1000;

struct HandOverCalls {
    std::function<bool()> instanceMarked;  // the shared block exists and can be mapped
    std::function<HWND()> findMonitor;     // null when there is none
    std::function<bool(HWND)> postQuit;    // PostMessage of WM_INSTANCE_QUIT
    std::function<DWORD()> lastError;
    std::function<void(DWORD)> sleep;
};

// Empty when no older monitor is left; otherwise the ERROR line for the log.
// A refused post (Windows refuses messages to a monitor of higher integrity)
// ends the attempts at once: waiting would change nothing.
std::string RetireOlderMonitor(const HandOverCalls& calls);
