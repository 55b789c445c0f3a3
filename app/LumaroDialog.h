#pragma once
// The monitor's one main window: hidden until asked for, it owns the log, the
// tray icon, the warning dialog, the adapter table and the session state, and
// its timers drive the clock, the tooltip, the reminders and the VPN watch.
#include "app/CTrayIcon.h"
#include "app/ExpiryWarningDialog.h"
#include "framework/CDialog.h"
#include "log/LogFile.h"
#include "netinfo/AdapterInfo.h"
#include "widgets/Label.h"

#include <atomic>
#include <cstdint>
#include <string>

class CThreadSockTelnet;

const UINT WM_TRAY_NOTIFY = WM_USER + 1;
const UINT kTrayIconId = 1090;

// Timer ids and periods of the main window.
enum MainTimer : UINT_PTR {
    kTimerTrayTip = 2,
    kTimerReminder = 3,
    kTimerWarning = 30,
    kTimerClock = 100,
    kTimerAdapterWatch = 200,
};
const UINT kTrayTipPeriodMs = 3000;
const UINT kReminderPeriodMs = 300;
const UINT kWarningPeriodMs = 10000;
const UINT kClockPeriodMs = 1000;
const UINT kAdapterWatchPeriodMs = 3000;
const int kWarningThresholdSec = 600;

class LumaroDialog : public CDialog {
public:
    LumaroDialog();
    ~LumaroDialog() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL DestroyWindow() override;

    // --- adapter discovery (netinfo/PppDns.cpp) ---
    int GetPppDns();
    // --- the session with the admin server (session/) ---
    void StartWorker();
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* record);
    void ParseSummary();
    void ParseAuth();

    void UpdateTrayTip();

    LogFile m_log;
    std::string m_resultPath;
    // Written by this window, read by the session worker while it waits for
    // the end of an answer: an atomic 32-bit integer keeps that read defined.
    std::atomic<int32_t> m_state{0};
    Label m_lblVersion;          // 1010
    Label m_lblElapsed;          // 1007
    Label m_lblElapsedCaption;   // 1006
    Label m_lblConnect;          // 1003
    Label m_lblConnectCaption;   // 1002
    Label m_lblLeft;             // 1009
    Label m_lblLeftCaption;      // 1008
    Label m_lblGranted;          // 1005
    Label m_lblGrantedCaption;   // 1004
    HICON m_hIcon;
    int32_t m_retryCount = 0;
    ExpiryWarningDialog m_warning;
    CThreadSockTelnet* m_pThread = nullptr;
    int32_t m_bShown = 0;
    std::string m_msg;
    CTrayIcon m_tray;
    std::string m_ip;
    AdapterInfo* AdapterList = nullptr;
    int32_t m_nCount = 0;
    std::string m_homePath;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void PostNcDestroy() override;

    int OnCreate(CREATESTRUCTA* cs);
    void OnSysCommand(WPARAM id);
    void OnPaint();
    LRESULT OnQueryDragIcon();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnShowClock();
    void OnInstanceQuit();
    void OnSaveLog();
    void OnTimer(UINT_PTR id);
    void OnWindowPosChanging(WINDOWPOS* pos);

private:
    void SetUpLabels();
    void OnClockTick();
    void ShowReminder();
    void RaiseWarning();
    void RetryStep();
    // Deletes an old result file before a command whose answer is parsed;
    // FALSE when it exists and cannot be deleted (the user has been told).
    bool DeleteResultFile();
    void ReleaseAdapters();
    int Elapsed() const;
};
