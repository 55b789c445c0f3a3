// The program's start, in the order Windows runs it. Nothing of the program
// or of the libraries linked into it may load a DLL by name before the
// search is restricted, and that includes the C and C++ runtimes' start-up
// and every static constructor. So:
//   1. a TLS callback restricts the search: the loader calls it before the
//      image's entry point;
//   2. the entry point seeds the stack canary, now from the system folder
//      and outside the loader lock, then hands over to the C runtime's
//      start (constructors, then WinMain).
// Built without the stack protector (CMakeLists.txt): the entry's own frame
// is live while the canary changes.
#include "framework/CWinApp.h"
#include "framework/StackGuard.h"
#include "framework/SystemLibrary.h"

extern "C" {
// Runs with the loader lock held, so it only names a search order and loads
// nothing; it runs again for every thread the process starts and ends.
void NTAPI LumaroRestrictDllSearchAtLoad(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        RestrictDllSearchToSystemFolder();
}

// The runtime's list of TLS callbacks runs from .CRT$XLA to .CRT$XLZ in name
// order; XLB puts this one before the runtime's own (XLC on) and those of
// any library linked in.
__attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK lumaroTlsCallback =
    LumaroRestrictDllSearchAtLoad;

// The C runtime's own entry point, which this one stands before.
int WinMainCRTStartup();

// The image's entry point (the linker's -e in CMakeLists.txt).
#ifdef __i386__
// Windows enters with the stack aligned to 4 bytes only.
__attribute__((force_align_arg_pointer))
#endif
int LumaroStartup()
{
    SeedStackGuard();
    return WinMainCRTStartup();
}
}

// The runtime's narrow command line is in the ANSI code page, which loses a
// Korean user name on a machine set to another language: the wide one is read.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->InitCommandLine(::GetCommandLineW());
    app->InitAppName();
    if (app->InitInstance())
        return 0;  // no application-level message loop in Lumaro
    return app->ExitInstance();
}
