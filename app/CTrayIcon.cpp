#include "app/CTrayIcon.h"

#include "framework/CWnd.h"
#include "framework/CommonControls.h"
#include "framework/Cp949.h"
#include "framework/UserNotificationState.h"
#include "widgets/Dpi.h"

#include <cstring>

static_assert(sizeof(NOTIFYICONDATAW) >= kNotifyIconDataSize, "icon record smaller than the shell expects");

namespace {
// Windows 2000 and XP keep a balloon this long at least; later systems use
// the user's accessibility setting instead.
const UINT kBalloonTimeoutMs = 10000;

// The event the icon posts itself, through its own callback message, to
// decide what a run of clicks meant; the shell sends no event of that value.
const LPARAM kDecideClicks = WM_APP;

// The small icon at the size the notification area draws it now. After a
// change of display scale Explorer makes its taskbar anew at the new DPI,
// while the metrics this process started with stay as they were. Where
// Windows cannot tell the taskbar's DPI (before Windows 10 1607) the system
// metrics are all there is.
HICON LoadTrayIcon(HMODULE module, UINT iconId)
{
    if (HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr))
        if (HICON icon = LoadIconAtSize(module, iconId, SystemMetricForDpi(SM_CXSMICON, DpiOfWindow(taskbar))))
            return icon;
    // Loaded for this icon alone, at the size the notification area draws:
    // an icon loaded shared keeps the size it was first loaded at, and one
    // of another size is stretched into blur.
    HICON icon = nullptr;
    if (FAILED(Comctl32::LoadIconMetric(module, MAKEINTRESOURCEW(iconId), LIM_SMALL, &icon)))
        icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                               LR_LOADMAP3DCOLORS));
    return icon;
}

// The shell's broadcast comes from a process of lower integrity than an
// elevated monitor, and UIPI drops such registered messages unless the
// window lets them through. Windows 7 filters per window, Vista per process,
// older systems not at all: looked up at run time so the program still starts there.
void AllowFromShell(HWND hwnd, UINT msg)
{
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    if (!user32 || !msg)
        return;
    using WindowFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    using ProcessFilter = BOOL(WINAPI*)(UINT, DWORD);
    if (auto window = reinterpret_cast<WindowFilter>(::GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
        window(hwnd, msg, MSGFLT_ALLOW, nullptr);
    else if (auto process = reinterpret_cast<ProcessFilter>(::GetProcAddress(user32, "ChangeWindowMessageFilter")))
        process(msg, MSGFLT_ADD);
}
}

CTrayIcon::CTrayIcon(UINT id)
{
    std::memset(&m_nid, 0, sizeof m_nid);
    m_nid.cbSize = kNotifyIconDataSize;
    m_nid.uID = id;
    m_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
}

CTrayIcon::~CTrayIcon()
{
    // Removed from the shell before the owned icon is destroyed.
    ShowIcon(nullptr);
}

BOOL CTrayIcon::AttachWindow(CWnd* owner, UINT callbackMessage)
{
    if (!owner || !::IsWindow(owner->m_hWnd))
        return FALSE;
    m_nid.hWnd = owner->m_hWnd;
    AllowFromShell(m_nid.hWnd, m_taskbarCreated);
    if (callbackMessage == 0)
        return FALSE;
    m_nid.uCallbackMessage = callbackMessage;
    return TRUE;
}

BOOL CTrayIcon::SetMenuResource(UINT menuId)
{
    return m_menu.LoadMenu(menuId);
}

BOOL CTrayIcon::Notify(DWORD command, UINT flags)
{
    m_nid.uFlags = flags;
    return ::Shell_NotifyIconW(command, &m_nid);
}

UINT CTrayIcon::IconFlags() const
{
    return NIF_ICON | (m_nid.hWnd && m_nid.uCallbackMessage ? NIF_MESSAGE : 0);
}

BOOL CTrayIcon::AddAgain()
{
    UINT flags = IconFlags() | (m_nid.szTip[0] ? NIF_TIP : 0);
    m_inShell = Notify(NIM_ADD, flags) || Notify(NIM_MODIFY, flags);
    if (m_inShell) {
        // After every add: the shell keeps the version with the icon only.
        m_nid.uVersion = kNotifyIconVersion;
        Notify(NIM_SETVERSION, 0);
        // It shares its place with the balloon's timeout, which no later
        // record may carry.
        m_nid.uVersion = 0;
    }
    return m_inShell;
}

BOOL CTrayIcon::ShowIcon(HICON icon)
{
    if (!icon) {
        // Nothing to show and nothing the shell could hold.
        if (!m_nid.hIcon)
            return FALSE;
        // Also when the shell seems to lack it: a change refused in passing
        // may have left it there.
        BOOL ok = Notify(NIM_DELETE, 0);
        m_nid.hIcon = nullptr;
        m_inShell = false;
        return ok;
    }
    m_nid.hIcon = icon;
    if (!m_inShell)
        return AddAgain();
    // A refused change keeps the icon; the next tooltip adds it again.
    m_inShell = Notify(NIM_MODIFY, IconFlags());
    return m_inShell;
}

void CTrayIcon::ShowIconResource(UINT iconId, const char* moduleName)
{
    HMODULE module = ::GetModuleHandleW(moduleName ? Widen(moduleName).c_str() : nullptr);
    HICON icon = LoadTrayIcon(module, iconId);
    // The old icon goes only once the shell holds the new one.
    ShowIcon(icon);
    m_loadedIcon.Reset(icon);
    m_iconId = iconId;
    m_iconModule = module;
}

void CTrayIcon::SetTip(const char* text)
{
    m_nid.uFlags = 0;
    // A tooltip belongs to an icon: none to show, none to set.
    if (!m_nid.hIcon)
        return;
    lstrcpynW(m_nid.szTip, Widen(text ? text : "").c_str(), ARRAYSIZE(m_nid.szTip));
    if (!m_inShell) {
        AddAgain();
        return;
    }
    m_inShell = Notify(NIM_MODIFY, NIF_TIP);
}

BOOL CTrayIcon::ShowBalloon(const char* title, const char* text, DWORD kind)
{
    ++m_balloonsSent;
    if (!m_inShell) {
        m_balloon = BalloonFate::Withheld;
        return FALSE;
    }
    lstrcpynW(m_nid.szInfo, Widen(text ? text : "").c_str(), ARRAYSIZE(m_nid.szInfo));
    lstrcpynW(m_nid.szInfoTitle, Widen(title ? title : "").c_str(), ARRAYSIZE(m_nid.szInfoTitle));
    m_nid.dwInfoFlags = kind;
    m_nid.uTimeout = kBalloonTimeoutMs;
    BOOL ok = Notify(NIM_MODIFY, NIF_INFO);
    m_balloon = BalloonSent(ok != FALSE, UserNotificationState(), (kind & NIIF_RESPECT_QUIET_TIME) != 0);
    // The same record goes with every later tooltip and add: it keeps no
    // balloon, so none of them can show this one again.
    std::memset(m_nid.szInfo, 0, sizeof m_nid.szInfo);
    std::memset(m_nid.szInfoTitle, 0, sizeof m_nid.szInfoTitle);
    m_nid.dwInfoFlags = 0;
    m_nid.uTimeout = 0;
    m_inShell = ok;
    return ok;
}

void CTrayIcon::OnTaskbarCreated()
{
    // The new notification area starts empty, whatever the old one held.
    m_inShell = false;
    if (!m_nid.hIcon)
        return;
    // Explorer says so again after a change of display scale: the icon of
    // the program's resources comes at the new size.
    if (m_iconId && m_nid.hIcon == m_loadedIcon.Get()) {
        if (HICON icon = LoadTrayIcon(m_iconModule, m_iconId)) {
            m_nid.hIcon = icon;
            AddAgain();
            m_loadedIcon.Reset(icon);
            return;
        }
    }
    AddAgain();
}

HMENU CTrayIcon::Popup()
{
    HMENU popup = m_menu.m_hMenu ? m_menu.GetSubMenu(0) : nullptr;
    if (popup)
        ::SetMenuDefaultItem(popup, 0, TRUE);
    return popup;
}

void CTrayIcon::ShowMenuAtCursor(HMENU popup)
{
    POINT pt;
    ::GetCursorPos(&pt);
    ::SetForegroundWindow(m_nid.hWnd);
    ::TrackPopupMenuEx(popup, 0, pt.x, pt.y, m_nid.hWnd, nullptr);
    // Without a task switch after the menu, Windows shows the next one
    // and closes it at once; any posted message makes that switch.
    ::PostMessageW(m_nid.hWnd, WM_NULL, 0, 0);
}

void CTrayIcon::ShowMenuAtIcon(HMENU popup)
{
    // Beside the icon, never over it; where the shell cannot say where the
    // icon is, at the cursor.
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = m_nid.hWnd;
    icon.uID = m_nid.uID;
    TPMPARAMS around{};
    around.cbSize = sizeof around;
    POINT pt;
    if (SUCCEEDED(::Shell_NotifyIconGetRect(&icon, &around.rcExclude))) {
        pt.x = around.rcExclude.left;
        pt.y = around.rcExclude.top;
    } else {
        ::GetCursorPos(&pt);
        around.rcExclude = RECT{pt.x, pt.y, pt.x, pt.y};
    }
    ::SetForegroundWindow(m_nid.hWnd);
    UINT command = static_cast<UINT>(::TrackPopupMenuEx(popup, TPM_RETURNCMD, pt.x, pt.y, m_nid.hWnd, &around));
    ::PostMessageW(m_nid.hWnd, WM_NULL, 0, 0);
    if (command)
        ::PostMessageW(m_nid.hWnd, WM_COMMAND, command, 0);
    else
        Notify(NIM_SETFOCUS, 0);
}

LRESULT CTrayIcon::Act(TrayAction action)
{
    HMENU popup = action == TrayAction::None ? nullptr : Popup();
    if (!popup)
        return 0;
    switch (action) {
    case TrayAction::OpenDefault:
        ::SendMessageW(m_nid.hWnd, WM_COMMAND, ::GetMenuItemID(popup, 0), 0);
        break;
    case TrayAction::MenuAtCursor:
        ShowMenuAtCursor(popup);
        break;
    case TrayAction::MenuAtIcon:
        ShowMenuAtIcon(popup);
        break;
    case TrayAction::None:
        break;
    }
    return 1;
}

LRESULT CTrayIcon::OnNotify(WPARAM id, LPARAM event)
{
    if (id != m_nid.uID)
        return 0;
    if (event == kDecideClicks)
        return Act(m_clicks.Decide());
    m_balloon = BalloonAfter(m_balloon, event);
    bool opensRun = false;
    if (!m_clicks.Add(event, opensRun))
        return 0;
    // Behind whatever the shell has queued by now, mouse messages and
    // notifications alike; decided at once if it cannot be posted, so that
    // the icon never waits for a decision that does not come.
    if (opensRun && !::PostMessageW(m_nid.hWnd, m_nid.uCallbackMessage, m_nid.uID, kDecideClicks))
        return Act(m_clicks.Decide());
    return 1;
}
