#include "app/LumaroDialog.h"

#include "app/AboutDialog.h"
#include "app/DurationFormat.h"
#include "app/HomeFolder.h"
#include "app/LumaroApp.h"
#include "app/TrayTip.h"
#include "app/UnixTime.h"
#include "app/UsageDialog.h"
#include "framework/CFileDialog.h"
#include "framework/Cp949.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "resource.h"

namespace {
const COLORREF kReadoutColour = RGB(123, 123, 192);
const COLORREF kLeftColour = RGB(128, 0, 128);
const COLORREF kVersionColour = RGB(255, 0, 0);
const int kReadoutFontSize = 12;
const int kVersionFontSize = 11;
const char kZeroDuration[] = "00일 00:00:00";
const char kBalloonTitle[] = "Lumaro";

const char* SessionEndReason(LPARAM why)
{
    if (why & ENDSESSION_CLOSEAPP)
        return "the program is closed for an update";
    if (why & ENDSESSION_LOGOFF)
        return "log off";
    return "shutdown or restart";
}
}

LumaroDialog::LumaroDialog()
    : CDialog(IDD_LUMARO_DIALOG, nullptr), m_icons(IDR_MAINFRAME), m_warning(nullptr), m_tray(kTrayIconId),
      m_session(*this, m_transport)
{
    m_hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

LumaroDialog::~LumaroDialog()
{
    // Normally done as the window closes; here for a window that never ran.
    EndSession();
}

int64_t LumaroDialog::Elapsed() const
{
    return UnixSecondsNow() - theApp.m_tStart;
}

void LumaroDialog::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_VERSION, m_lblVersion);
    DDX_Control(dx, IDC_ELAPSED_TIME, m_lblElapsed);
    DDX_Control(dx, IDC_ELAPSED_CAPTION, m_lblElapsedCaption);
    DDX_Control(dx, IDC_CONNECT_TIME, m_lblConnect);
    DDX_Control(dx, IDC_CONNECT_CAPTION, m_lblConnectCaption);
    DDX_Control(dx, IDC_LEFT_TIME, m_lblLeft);
    DDX_Control(dx, IDC_LEFT_CAPTION, m_lblLeftCaption);
    DDX_Control(dx, IDC_GRANTED_TIME, m_lblGranted);
    DDX_Control(dx, IDC_GRANTED_CAPTION, m_lblGrantedCaption);
}

LRESULT LumaroDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // A registered message: its number is known only at run time.
    if (m_tray.IsTaskbarCreated(msg)) {
        OnTaskbarCreated();
        return 0;
    }
    switch (msg) {
    case WM_SYSCOMMAND:
        OnSysCommand(wParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return OnQueryDragIcon();
    case WM_TRAY_NOTIFY:
        return OnTrayNotify(wParam, lParam);
    case WM_INSTANCE_QUIT:
        OnInstanceQuit();
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return Default();
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        return Default();
    case WM_DPICHANGED:
        // The dialog manager takes the suggested rectangle and lays the
        // window out again; the labels make their fonts again themselves.
        m_icons.Apply(m_hWnd, LOWORD(wParam));
        return Default();
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_COPYDATA:
        return OnCopyData(CWnd::FromHandlePermanent(reinterpret_cast<HWND>(wParam)),
                          reinterpret_cast<COPYDATASTRUCT*>(lParam));
    case WM_SESSION_WORKER_ENDED:
        OnWorkerEnded();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_QUERYENDSESSION:
        // Never holds the session up; the end's work waits for WM_ENDSESSION.
        return TRUE;
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE, lParam);
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && LOWORD(wParam) == ID_SHOW_CLOCK) {
            OnShowClock();
            return 0;
        }
        if (lParam == 0 && LOWORD(wParam) == ID_SAVE_LOG) {
            OnSaveLog();
            return 0;
        }
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

int LumaroDialog::OnCreate(CREATESTRUCTW*)
{
    if (Default() == -1)
        return -1;
    const HomeFolder home = OpenLogInHomeFolder(m_log, kLogFlow);
    m_homePath = home.path;
    m_log.Write(kLogMost, "Log START .........");
    // The log's lines are CP949: the folder as such, '?' for what it lacks.
    m_log.Write(kLogMost, StrFormat("home_path=[%s]", Narrow(m_homePath).c_str()).c_str());
    m_log.Write(kLogMost, StrFormat("version %s", theApp.m_version.c_str()).c_str());
    if (!home.whyNotCurrent.empty())
        m_log.Write(home.whyLevel, home.whyNotCurrent.c_str());
    if (!theApp.m_handOverError.empty())
        m_log.Write(kLogError, theApp.m_handOverError.c_str());

    m_resultPath = m_homePath + L"\\result";
    m_session.Configure({theApp.m_user, theApp.m_adminId, theApp.m_adminPw, Narrow(m_resultPath)});
    return 0;
}

BOOL LumaroDialog::OnInitDialog()
{
    CDialog::OnInitDialog();

    wchar_t about[256] = L"";
    ::LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, 256);
    if (HMENU sysMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        if (about[0]) {
            ::AppendMenuW(sysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    m_icons.Apply(m_hWnd);

    SetUpLabels();

    m_tray.AttachWindow(this, WM_TRAY_NOTIFY);
    m_tray.ShowIconResource(IDR_MAINFRAME);
    m_tray.SetMenuResource(IDR_TRAYMENU);
    UpdateTrayTip();
    SetTimer(kTimerTrayTip, kTrayTipPeriodMs);

    // Both returns are FALSE: the focus would activate the hidden window;
    // the dialog manager gives it when the clock is shown.
    int rc = GetPppDns();
    if (rc < 0) {
        m_msg = StrFormat("ppp DNS Get failed. rc=%d, SvcName[%s]", rc, theApp.m_SvcName.c_str());
        m_log.Write(kLogError, m_msg.c_str());
        return FALSE;
    }
    m_transport.Configure({m_hWnd, m_ip, theApp.m_nPort, SessionMode::Session, &m_log, m_session.StateForWorker(),
                           m_resultPath});
    m_session.OnStart();
    SetTimer(kTimerClock, kClockPeriodMs);
    return FALSE;
}

void LumaroDialog::SetUpLabels()
{
    m_lblVersion.setTextColour(kVersionColour);
    m_lblVersion.setFontSize(kVersionFontSize);
    m_lblVersion.setText(StrFormat("version %s", theApp.m_version.c_str()).c_str());

    struct Readout {
        Label& label;
        COLORREF colour;
        std::string text;
    };
    const SYSTEMTIME& t = theApp.m_startTime;
    Readout readouts[] = {
        {m_lblConnectCaption, kReadoutColour, "접속시간:"},
        {m_lblGrantedCaption, kReadoutColour, "할당시간:"},
        {m_lblElapsedCaption, kReadoutColour, "경과시간:"},
        {m_lblLeftCaption, kLeftColour, "남은시간:"},
        {m_lblConnect, kReadoutColour,
         StrFormat("%02d월%02d일 %02d:%02d:%02d", t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond)},
        {m_lblGranted, kReadoutColour, kZeroDuration},
        {m_lblElapsed, kReadoutColour, kZeroDuration},
        {m_lblLeft, kLeftColour, kZeroDuration},
    };
    for (Readout& r : readouts) {
        r.label.setFontBold(1);
        r.label.setTextColour(r.colour);
        r.label.setFontSize(kReadoutFontSize);
        r.label.setText(r.text.c_str());
    }
}

BOOL LumaroDialog::PreTranslateMessage(MSG* msg)
{
    // The keyboard must not end the monitor: only the tray menu, "kill" or
    // the loss of the VPN connection do.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void LumaroDialog::OnSysCommand(WPARAM id)
{
    if ((id & 0xFFF0) == SC_CLOSE) {
        ShowWindow(SW_HIDE);
        return;
    }
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        AboutDialog about;
        about.DoModal();
        return;
    }
    Default();
}

void LumaroDialog::OnPaint()
{
    if (!::IsIconic(m_hWnd)) {
        Default();
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rc;
    GetClientRect(&rc);
    int cx = ::GetSystemMetrics(SM_CXICON);
    int cy = ::GetSystemMetrics(SM_CYICON);
    int x = (rc.right - rc.left - cx + 1) / 2;
    int y = (rc.bottom - rc.top - cy + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

LRESULT LumaroDialog::OnQueryDragIcon()
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}

LRESULT LumaroDialog::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    return m_tray.OnNotify(wParam, lParam);
}

void LumaroDialog::OnTaskbarCreated()
{
    // Explorer has started again with an empty notification area.
    m_tray.OnTaskbarCreated();
}

void LumaroDialog::OnShowClock()
{
    if (!m_bShown) {
        m_bShown = 1;
        ShowWindow(SW_SHOW);
    } else {
        ShowWindow(SW_SHOWNORMAL);
    }
}

void LumaroDialog::OnInstanceQuit()
{
    // A newer monitor takes over: leave at once, without a summary; the
    // changed icon tells the user this one is gone until the shell clears it.
    m_tray.ShowIconResource(IDI_QUIT);
    EndSession();
    ::ExitProcess(0);
}

void LumaroDialog::OnEndSession(bool ending, LPARAM why)
{
    // Another program kept the session going.
    if (!ending)
        return;
    // Windows ends the process at any moment once this returns, and
    // meanwhile nothing may wait for a click: no closing summary, and
    // whatever dialog or box is open goes with the process.
    EndSession();
    m_log.Write(kLogMost, StrFormat("The Windows session ends (%s): the monitor ends", SessionEndReason(why)).c_str());
    m_tray.ShowIcon(nullptr);
    ::ExitProcess(0);
}

void LumaroDialog::OnSaveLog()
{
    // The save variant, which asks before it replaces an existing file: the
    // open variant ignores the overwrite prompt, and a chosen file was lost.
    CFileDialog dlg(FALSE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    "로그파일(*.log)|*.log|모든 파일(*.*)|*.*||", nullptr);
    if (dlg.DoModal() != IDOK)
        return;
    const std::wstring path = dlg.GetPathName();
    int rc = m_log.CopyTo(path.c_str());
    if (rc < 0) {
        m_msg = StrFormat("로그파일 저장 실패 rc=%d", rc);  // the copy failed or is incomplete
        AfxMessageBox(m_msg.c_str());
        return;
    }
    // The path as the user chose it, whatever CP949 lacks of it.
    const std::wstring saved = Widen("로그파일 저장 성공 파일위치[") + path + L"]";
    m_msg = Narrow(saved);
    AfxMessageBox(saved);
}

void LumaroDialog::OnWindowPosChanging(WINDOWPOS* pos)
{
    // Hidden, it takes no activation either: the user's window keeps the
    // keyboard while the monitor starts.
    if (!m_bShown && pos)
        pos->flags = (pos->flags & ~SWP_SHOWWINDOW) | SWP_NOACTIVATE;
}

void LumaroDialog::UpdateTrayTip()
{
    m_tray.SetTip(TrayTipText(m_session.State(), m_session.RetryCount(), m_session.SessionTime(), Elapsed()).c_str());
}

void LumaroDialog::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kTimerTrayTip:
        UpdateTrayTip();
        break;
    case kTimerClock:
        OnClockTick();
        break;
    default:
        // The watch looks for the adapter only while it runs: a tick posted
        // from outside must not close the monitor.
        if (id == static_cast<UINT_PTR>(kAdapterWatchTimer.id)) {
            if (m_session.TimerRunning(kAdapterWatchTimer.id))
                m_session.OnAdapterWatch(GetPppDns() >= 0);
        } else {
            m_session.OnTimer(static_cast<int>(id), Elapsed());
        }
        break;
    }
}

void LumaroDialog::ShowReminder(int rTime)
{
    UsageDialog reminder(nullptr);
    reminder.m_usedText.clear();
    reminder.m_remainText = "잔여시간: " + FormatDuration(rTime);
    ShowUsage(reminder);
}

// The dialogs come by themselves, often while the user works or plays full
// screen in another program: they take neither the activation nor a topmost
// place, and the user learns of them from their flashing taskbar button and
// from a balloon of the icon, which is always in sight.
void LumaroDialog::ShowUsage(UsageDialog& dialog)
{
    m_tray.ShowBalloon(kBalloonTitle, dialog.Text().c_str(), kBalloonInformation);
    dialog.DoModal();
}

void LumaroDialog::RaiseWarning(int remainSec)
{
    m_warning.m_remainSec = remainSec;
    m_warning.Create(IDD_EXPIRY_WARNING, this);
    m_warning.ShowWithoutActivation();
    m_tray.ShowBalloon(kBalloonTitle, m_warning.m_msg.c_str(), kBalloonWarning);
}

void LumaroDialog::OnClockTick()
{
    int rTime = m_session.SessionTime();
    if (rTime <= 0)
        return;
    m_lblGranted.setText(FormatDuration(rTime).c_str());
    int64_t elapsed = Elapsed();
    if (elapsed > 0)
        m_lblElapsed.setText(FormatDuration(elapsed).c_str());
    int64_t left = rTime - elapsed;
    if (left >= 0)
        m_lblLeft.setText(FormatDuration(left).c_str());
}

BOOL LumaroDialog::DestroyWindow()
{
    // Before the summary: its modal loop must not serve a worker that could
    // still start another one.
    EndSession();
    int rTime = m_session.SessionTime();
    int64_t elapsed = Elapsed();
    if (rTime > 0 && elapsed > 0 && rTime - elapsed >= 0) {
        UsageDialog summary(nullptr);
        summary.m_usedText = "소요시간: " + FormatDuration(elapsed);
        summary.m_remainText = "잔여시간: " + FormatDuration(rTime - elapsed);
        ShowUsage(summary);
    }
    return CDialog::DestroyWindow();
}

void LumaroDialog::PostNcDestroy()
{
    m_adapters.clear();
    CDialog::PostNcDestroy();
}
