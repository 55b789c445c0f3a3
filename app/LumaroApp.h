#pragma once
// The application object: reads the command line and decides what this
// process does: complain, ask a monitor to close, show the notice, or monitor.
#include "app/SessionConfig.h"
#include "framework/CWinApp.h"

#include <string>

// Window title by which monitors find one another.
extern const char kMainWindowTitle[];
// Marks a running monitor while any monitor process holds it.
extern const char kInstanceBlockName[];
const DWORD kInstanceBlockSize = 130;
// Posted to an older monitor to make it end at once.
const UINT WM_INSTANCE_QUIT = WM_USER + 2;

class LumaroApp : public CWinApp, public SessionConfig {
public:
    BOOL InitInstance() override;

    std::string m_message;
    void* m_pMapView = nullptr;
    HANDLE m_hMapping = nullptr;

private:
    void RetireOlderInstance();
    void CreateInstanceBlock();
    BOOL RunMonitor();
    BOOL RunNotice();
};

extern LumaroApp theApp;
