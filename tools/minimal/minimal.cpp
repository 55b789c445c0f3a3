// The smallest Win32 dialog program, statically linked like lumaro.exe: the
// baseline against which the monitor's memory is measured under Wine.
#include <windows.h>
#include <wincrypt.h>

#include <cstring>

namespace {
INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(hwnd, 0);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
    // With "dlls", the system libraries lumaro.exe uses are loaded too, so
    // that the baseline tells Wine's share of the memory from the program's.
    // They are loaded by plain name, the usual search that looks beside the
    // program first: the DLL-search test shows with it that its planted
    // copies would be found. That test names more DLLs after "dlls", and
    // "crypt" to acquire CryptoAPI's default provider as the toolchain's
    // stack protector did, which loads the provider by its registered name.
    if (cmdLine && std::strncmp(cmdLine, "dlls", 4) == 0) {
        const char* libraries[] = {"ws2_32", "iphlpapi", "comctl32", "comdlg32", "shell32", "shlwapi",
                                   "winmm", "version", "gdi32", "advapi32"};
        for (const char* name : libraries)
            ::LoadLibraryA(name);
        for (char* name = std::strtok(cmdLine + 4, " "); name; name = std::strtok(nullptr, " ")) {
            HCRYPTPROV provider = 0;
            if (std::strcmp(name, "crypt") != 0)
                ::LoadLibraryA(name);
            else if (::CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
                ::CryptReleaseContext(provider, 0);
        }
    }
    // A template in memory: a captioned dialog with no controls.
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title[8];
    } tpl = {};
    tpl.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    tpl.t.cx = 120;
    tpl.t.cy = 40;
    const wchar_t title[] = L"Minimal";
    for (int i = 0; i < 8; ++i)
        tpl.title[i] = title[i];
    return static_cast<int>(::DialogBoxIndirectParamW(instance, &tpl.t, nullptr, Proc, 0));
}
