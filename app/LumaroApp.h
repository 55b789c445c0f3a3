#pragma once
// The application object: reads the command line and decides what this
// process does: complain, ask a monitor to close, show the notice, or monitor.
#include "app/HandOver.h"
#include "app/SessionConfig.h"
#include "framework/CWinApp.h"
#include "framework/ScopedHandle.h"

#include <string>

// Window title by which monitors find one another.
extern const wchar_t kMainWindowTitle[];
// Marks a running monitor while any monitor process holds it.
extern const wchar_t kInstanceBlockName[];
// Posted to an older monitor to make it end at once, with the number of the
// request in the instance block (HandOver.h); the monitors of older versions
// know it by this number, which is DM_REPOSITION too.
const UINT WM_INSTANCE_QUIT = WM_USER + 2;
// "kill" found a monitor but could not post it WM_CLOSE.
const UINT kKillRefusedExitCode = 2;

// The main window of a running monitor, of this build or an older one:
// titled exactly "Lumaro" (a message box captioned "lumaro" is not it), a
// dialog, with the clock's labels.
HWND FindMonitorWindow();

class LumaroApp : public CWinApp, public SessionConfig {
public:
    BOOL InitInstance() override;

    std::string m_message;
    // Why an older monitor still runs, for the log once it is open; empty
    // when none is left.
    std::string m_handOverError;
    // The instance marker: held until the process ends, so that it exists
    // while this monitor runs. The view is released before its mapping.
    AutoCloseHandle m_hMapping;
    ScopedMapView m_pMapView;

private:
    void RetireOlderInstance();
    void CreateInstanceBlock();
    BOOL RunMonitor();
    BOOL RunNotice();
};

extern LumaroApp theApp;
