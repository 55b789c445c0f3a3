// windows_delivery.dll: makes Wine hand a WM_COPYDATA record sent from
// another thread of the same process to the window as Windows does, as a
// copy of the record and its bytes at another address. Wine passes the
// sender's own pointer there, so a window that told records apart by their
// address passed every test and failed every user.
//
// windows_delivery_host.exe installs CallWndProc below as a global hook;
// Wine then loads this DLL into each GUI process when its first window
// message is sent. In lumaro.exe it replaces the program's import of
// SendMessageA with CopyingSendMessageA. With LUMARO_COPYDATA_LOG set in the
// program's environment it appends one line per patch and per copied record:
//   patched <pid>
//   copied <pid> type=<dwData> len=<cbData>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using SendMessageFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
SendMessageFn g_realSendMessage = nullptr;

void Note(const char* format, ...)
{
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("LUMARO_COPYDATA_LOG", path, sizeof path))
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(f, line, static_cast<DWORD>(n > 0 && n < static_cast<int>(sizeof line) ? n : 0), &written, nullptr);
    CloseHandle(f);
}

LRESULT WINAPI CopyingSendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
    if (msg != WM_COPYDATA || !lParam || pid != GetCurrentProcessId() || tid == GetCurrentThreadId())
        return g_realSendMessage(hwnd, msg, wParam, lParam);
    // What Windows does for a receiver on another thread: the structure and
    // cbData bytes copied, lpData null when there are none.
    const COPYDATASTRUCT* sent = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::vector<BYTE> bytes(sent->cbData + 1, 0xCD);
    if (sent->cbData && sent->lpData)
        memcpy(bytes.data(), sent->lpData, sent->cbData);
    COPYDATASTRUCT copy = {sent->dwData, sent->cbData, sent->cbData ? bytes.data() : nullptr};
    Note("copied %lu type=%lu len=%lu\n", GetCurrentProcessId(), static_cast<unsigned long>(sent->dwData),
         static_cast<unsigned long>(sent->cbData));
    return g_realSendMessage(hwnd, msg, wParam, reinterpret_cast<LPARAM>(&copy));
}

bool IsLumaro()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = strrchr(path, '\\');
    return lstrcmpiA(name ? name + 1 : path, "lumaro.exe") == 0;
}

// Points the program's import of user32!SendMessageA at the copying one.
bool PatchSendMessage()
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto real = reinterpret_cast<SendMessageFn>(GetProcAddress(GetModuleHandleA("user32.dll"), "SendMessageA"));
    if (!dir.VirtualAddress || !real)
        return false;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + imp->Name), "user32.dll") != 0)
            continue;
        for (auto* slot = reinterpret_cast<ULONG_PTR*>(base + imp->FirstThunk); *slot; ++slot) {
            if (*slot != reinterpret_cast<ULONG_PTR>(real))
                continue;
            DWORD old = 0;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
            g_realSendMessage = real;
            *slot = reinterpret_cast<ULONG_PTR>(&CopyingSendMessageA);
            VirtualProtect(slot, sizeof *slot, old, &old);
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH && IsLumaro()) {
        if (PatchSendMessage())
            Note("patched %lu\n", GetCurrentProcessId());
        else
            Note("not patched %lu\n", GetCurrentProcessId());
    }
    return TRUE;
}
