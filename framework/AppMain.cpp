// The program's entry: hand the command line to the application object.
#include "framework/CWinApp.h"
#include "framework/SystemLibrary.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
    RestrictDllSearchToSystemFolder();
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = cmdLine;
    app->InitAppName();
    if (app->InitInstance())
        return 0;  // no application-level message loop in Lumaro
    return app->ExitInstance();
}
