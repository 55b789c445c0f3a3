#include "app/HandOver.h"

#include "framework/Format.h"

#include <cstring>

namespace {

const char kRequestTag[8] = {'L', 'u', 'm', 'a', 'r', 'o', 'Q', '1'};

struct HandOverRequest {
    char tag[8];
    uint32_t number;
    // The low 32 bits, which are the whole handle in a 32-bit and a 64-bit process alike.
    uint32_t window;
};
static_assert(sizeof(HandOverRequest) <= kInstanceBlockSize, "the request fits the instance block");

uint32_t WindowBits(HWND window)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}

} // namespace

void WriteHandOverRequest(void* block, HWND older, uint32_t number)
{
    if (!block)
        return;
    HandOverRequest request;
    std::memcpy(request.tag, kRequestTag, sizeof request.tag);
    request.number = number;
    request.window = WindowBits(older);
    std::memcpy(block, &request, sizeof request);
}

bool IsHandOverRequest(const void* block, HWND self, LPARAM lParam)
{
    if (!block || lParam == 0)
        return false;
    HandOverRequest request;
    std::memcpy(&request, block, sizeof request);
    return std::memcmp(request.tag, kRequestTag, sizeof request.tag) == 0 &&
           request.number == static_cast<uint32_t>(lParam) && request.window == WindowBits(self);
}

uint32_t NewHandOverNumber()
{
    const uint32_t number = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    return number != 0 ? number : 1;
}

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
