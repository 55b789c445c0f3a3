#pragma once
// The notification-area tooltip for a session state.
#include <cstdint>
#include <string>

// elapsed = now - start (UnixTime.h); rTime <= 0 means the session time is not known.
std::string TrayTipText(int state, int retryCount, int rTime, int64_t elapsed);
