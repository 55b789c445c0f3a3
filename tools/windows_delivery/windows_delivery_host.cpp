// windows_delivery_host.exe: holds the global hook that brings
// windows_delivery.dll (beside this program) into every GUI process of the
// prefix. Prints "ready" on stdout once the hook is in place, then waits
// until it is ended.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    char* slash = strrchr(path, '\\');
    lstrcpyA(slash ? slash + 1 : path, "windows_delivery.dll");
    HMODULE dll = LoadLibraryA(path);
    HOOKPROC proc = dll ? reinterpret_cast<HOOKPROC>(GetProcAddress(dll, "CallWndProc")) : nullptr;
    HHOOK hook = proc ? SetWindowsHookExA(WH_CALLWNDPROC, proc, dll, 0) : nullptr;
    if (!hook) {
        printf("failed %lu\n", GetLastError());
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    UnhookWindowsHookEx(hook);
    return 0;
}
