#pragma once
// The monitor's one main window: hidden until asked for, it owns the log, the
// tray icon, the warning dialog, the adapter table, the session worker and the
// conversation's state machine, whose actions it carries out; its timers drive
// the clock, the tooltip, the reminders and the VPN watch.
#include "app/CTrayIcon.h"
#include "app/ExpiryWarningDialog.h"
#include "framework/CDialog.h"
#include "log/LogFile.h"
#include "netinfo/AdapterInfo.h"
#include "session/CThreadSockTelnet.h"
#include "session/SessionStateMachine.h"
#include "widgets/Label.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

const UINT WM_TRAY_NOTIFY = WM_USER + 1;
const UINT kTrayIconId = 1090;

// The window's own timers; the conversation's (reminder, warning, adapter
// watch) are named beside its state machine.
enum MainTimer : UINT_PTR {
    kTimerTrayTip = 2,
    kTimerClock = 100,
    kTimerRetry = 300,  // the pause before a new connection attempt
};
const UINT kTrayTipPeriodMs = 3000;
const UINT kReminderPeriodMs = 300;
const UINT kWarningPeriodMs = 10000;
const UINT kClockPeriodMs = 1000;
const UINT kRetryPauseMs = 1000;

class LumaroDialog : public CDialog {
public:
    LumaroDialog();
    ~LumaroDialog() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL DestroyWindow() override;

    int GetPppDns();
    void StartWorker();
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* record);
    void UpdateTrayTip();

    LogFile m_log;
    std::string m_resultPath;
    // The conversation's state as the session worker reads it while it waits
    // for the end of an answer; written only by this window's thread.
    std::atomic<int32_t> m_state{kStateConnecting};
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
    ExpiryWarningDialog m_warning;
    // The running worker; it ends by itself, and it is stopped and waited
    // for when the monitor ends.
    std::unique_ptr<CThreadSockTelnet> m_pThread;
    int32_t m_bShown = 0;
    std::string m_msg;
    CTrayIcon m_tray;
    std::string m_ip;
    std::vector<AdapterInfo> m_adapters;
    std::string m_homePath;
    SessionStateMachine m_session;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void PostNcDestroy() override;

    int OnCreate(CREATESTRUCTA* cs);
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
    void OnWorkerEnded();

private:
    void SetUpLabels();
    void OnClockTick();
    void ShowReminder(int rTime);
    void RaiseWarning(int remainSec);
    // Carries out the state machine's actions, handing back the outcome of
    // each list's last action until none is needed.
    void Execute(SessionActions actions);
    SessionActions ReadCapture();
    // Deletes an old result file before a command whose answer is parsed;
    // false when it exists and cannot be deleted (the user has been told).
    bool DeleteResultFile();
    // The monitor is ending: no new worker, the running one stopped and waited for.
    void EndSession();
    void StopWorker();
    int Elapsed() const;

    bool m_ending = false;
    CThreadSockTelnet* m_stoppingWorker = nullptr;  // being waited for
    bool m_foreignRecordLogged = false;
    int m_handlingEvent = 0;  // depth of worker events being handled
};
