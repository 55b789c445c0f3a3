#include "app/HandOver.h"

#include "framework/Format.h"

std::string RetireOlderMonitor(const HandOverCalls& calls)
{
    for (int attempt = 0; attempt < kHandOverAttempts; ++attempt) {
        if (!calls.instanceMarked())
            return std::string();
        HWND older = calls.findMonitor();
        if (!older)
            return std::string();
        if (!calls.postQuit(older))
            return StrFormat("older monitor not retired: PostMessage(WM_INSTANCE_QUIT) failed, rc=%d",
                             static_cast<int>(calls.lastError()));
        calls.sleep(kHandOverWaitMs);
    }
    return calls.instanceMarked() && calls.findMonitor()
               ? StrFormat("older monitor not retired after %d requests", kHandOverAttempts)
               : std::string();
}
