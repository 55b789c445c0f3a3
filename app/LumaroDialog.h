#pragma once
// The monitor's one main window: hidden until asked for, it owns the log, the
// tray icon, the warning dialog, the adapter table, the conversation's
// transport and its state machine, whose screen effects it carries out; its
// timers drive the clock, the tooltip, the reminders and the VPN watch.
#include "app/CTrayIcon.h"
#include "app/ExpiryWarningDialog.h"
#include "framework/CDialog.h"
#include "log/LogFile.h"
#include "netinfo/AdapterInfo.h"
#include "session/SessionTransport.h"
#include "session/SessionStateMachine.h"
#include "widgets/Label.h"
#include "widgets/WindowIcons.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class UsageDialog;

const UINT WM_TRAY_NOTIFY = WM_USER + 1;
const UINT kTrayIconId = 1090;

// The window's own timers; the conversation's (reminder, warning, adapter
// watch, retry pause) are its state machine's.
enum MainTimer : UINT_PTR {
    kTimerTrayTip = 2,
    kTimerClock = 100,
};
const UINT kTrayTipPeriodMs = 3000;
const UINT kClockPeriodMs = 1000;

class LumaroDialog : public CDialog, private ScreenEffects {
public:
    LumaroDialog();
    ~LumaroDialog() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL DestroyWindow() override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void PostNcDestroy() override;

    int OnCreate(CREATESTRUCTW* cs);
    void OnClose();
    void OnSysCommand(WPARAM id);
    void OnPaint();
    LRESULT OnQueryDragIcon();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnTaskbarCreated();
    void OnShowClock();
    void OnInstanceQuit();
    void OnSaveLog();
    void OnTimer(UINT_PTR id);
    void OnWindowPosChanging(WINDOWPOS* pos);
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* record);
    void OnWorkerEnded();
    void OnEndSession(bool ending, LPARAM why);

private:
    int GetPppDns();
    void UpdateTrayTip();
    void SetUpLabels();
    void OnClockTick();
    void RaiseWarning(int remainSec);
    void ShowUsage(UsageDialog& dialog);

    // The conversation's effects on the screen; those on the connection
    // are its transport's.
    void Log(int level, const std::string& text) override;
    void StartTimer(int id, int periodMs) override;
    void StopTimer(int id) override;
    void ShowReminder(int rTime) override;
    void ShowWarning(int remainSec) override;
    void ShowBox(const std::string& text) override;
    void ShowFileError(const std::wstring& path, unsigned long error) override;
    void Close() override;
    // The monitor is ending: no new connection, the running one stopped and
    // waited for (unless its own event is being handled right now).
    void EndSession();
    // Seconds since the monitor started, in 64 bits: a clock set far back
    // or forward must not wrap the arithmetic.
    int64_t Elapsed() const;

    LogFile m_log;
    std::wstring m_resultPath;
    Label m_lblVersion;          // 1010
    Label m_lblElapsed;          // 1007
    Label m_lblElapsedCaption;   // 1006
    Label m_lblConnect;          // 1003
    Label m_lblConnectCaption;   // 1002
    Label m_lblLeft;             // 1009
    Label m_lblLeftCaption;      // 1008
    Label m_lblGranted;          // 1005
    Label m_lblGrantedCaption;   // 1004
    HICON m_hIcon;               // a shared resource icon: never destroyed
    WindowIcons m_icons;         // the caption's and the taskbar's, at the window's DPI
    ExpiryWarningDialog m_warning;
    int32_t m_bShown = 0;
    std::string m_msg;
    CTrayIcon m_tray;
    std::string m_ip;
    std::vector<AdapterInfo> m_adapters;
    std::wstring m_homePath;
    // The connection to the console: its worker, socket and capture file.
    SessionTransport m_transport;
    // The conversation: the one owner of the session state, the session
    // time and the attempts made; it calls this window's effects and the
    // transport's.
    SessionStateMachine m_session;

    bool m_ending = false;
    bool m_foreignRecordLogged = false;
    int m_handlingEvent = 0;  // depth of worker events being handled
};
