#pragma once
// How a new monitor retires an older one: while the instance block exists
// and a monitor window is found, ask it to quit and give it a second, at
// most ten times. The system calls are passed in, so the decisions can be
// tried without a second process.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

const int kHandOverAttempts = 10;
// The instance block, which marks a running monitor and carries the request.
const DWORD kInstanceBlockSize = 130;
const DWORD kHandOverWaitMs = 1000;

struct HandOverCalls {
    std::function<bool()> instanceMarked;  // the shared block exists and can be mapped
    std::function<HWND()> findMonitor;     // null when there is none
    std::function<bool(HWND)> postQuit;    // the request in the block, then PostMessage of WM_INSTANCE_QUIT
    std::function<DWORD()> lastError;
    std::function<void(DWORD)> sleep;
};

// Empty when no older monitor is left; otherwise the ERROR line for the log.
// A refused post (Windows refuses messages to a monitor of higher integrity)
// ends the attempts at once: waiting would change nothing.
std::string RetireOlderMonitor(const HandOverCalls& calls);

// WM_INSTANCE_QUIT is WM_USER+2, which a dialog also reads as DM_REPOSITION,
// and any program may send that (with lParam 0, "DM_REPOSITION message"). So
// a newer monitor first writes into the instance block which window it asks
// to quit, under a number of its own, and posts that number as lParam; only
// a message that matches the block's request is a hand-over. A monitor of an
// older version never reads the block and quits on the message alone.
// `block` is the mapped view of the instance block, or null.
void WriteHandOverRequest(void* block, HWND older, uint32_t number);
bool IsHandOverRequest(const void* block, HWND self, LPARAM lParam);
// A request's number: never 0, so no DM_REPOSITION can match it.
uint32_t NewHandOverNumber();
