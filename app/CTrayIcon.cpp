#include "app/CTrayIcon.h"

#include "framework/CWnd.h"

#include <cstring>

static_assert(sizeof(NOTIFYICONDATAA) >= kNotifyIconDataSize, "icon record smaller than the shell expects");

namespace {
// Windows 2000 and XP keep a balloon this long at least; later systems use
// the user's accessibility setting instead.
const UINT kBalloonTimeoutMs = 10000;

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
    m_taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
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
    return ::Shell_NotifyIconA(command, &m_nid);
}

UINT CTrayIcon::IconFlags() const
{
    return NIF_ICON | (m_nid.hWnd && m_nid.uCallbackMessage ? NIF_MESSAGE : 0);
}

BOOL CTrayIcon::AddAgain()
{
    UINT flags = IconFlags() | (m_nid.szTip[0] ? NIF_TIP : 0);
    m_inShell = Notify(NIM_ADD, flags) || Notify(NIM_MODIFY, flags);
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
    HMODULE module = ::GetModuleHandleA(moduleName);
    HICON icon = static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 0, 0,
                                                 LR_DEFAULTSIZE | LR_LOADMAP3DCOLORS));
    // The old icon goes only once the shell holds the new one.
    ShowIcon(icon);
    m_loadedIcon.Reset(icon);
}

void CTrayIcon::SetTip(const char* text)
{
    m_nid.uFlags = 0;
    // A tooltip belongs to an icon: none to show, none to set.
    if (!m_nid.hIcon)
        return;
    lstrcpynA(m_nid.szTip, text ? text : "", sizeof m_nid.szTip);
    if (!m_inShell) {
        AddAgain();
        return;
    }
    m_inShell = Notify(NIM_MODIFY, NIF_TIP);
}

BOOL CTrayIcon::ShowBalloon(const char* title, const char* text, DWORD kind)
{
    if (!m_inShell)
        return FALSE;
    lstrcpynA(m_nid.szInfo, text ? text : "", sizeof m_nid.szInfo);
    lstrcpynA(m_nid.szInfoTitle, title ? title : "", sizeof m_nid.szInfoTitle);
    m_nid.dwInfoFlags = kind;
    m_nid.uTimeout = kBalloonTimeoutMs;
    BOOL ok = Notify(NIM_MODIFY, NIF_INFO);
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
    if (m_nid.hIcon)
        AddAgain();
}

LRESULT CTrayIcon::OnNotify(WPARAM id, LPARAM event)
{
    if (id != m_nid.uID)
        return 0;
    if (event != WM_RBUTTONUP && event != WM_LBUTTONDBLCLK)
        return 0;
    if (!m_menu.m_hMenu)
        return 0;
    HMENU popup = m_menu.GetSubMenu(0);
    if (!popup)
        return 0;
    ::SetMenuDefaultItem(popup, 0, TRUE);

    if (event == WM_RBUTTONUP) {
        POINT pt;
        ::GetCursorPos(&pt);
        ::SetForegroundWindow(m_nid.hWnd);
        ::TrackPopupMenuEx(popup, 0, pt.x, pt.y, m_nid.hWnd, nullptr);
        // Without a task switch after the menu, Windows shows the next one
        // and closes it at once; any posted message makes that switch.
        ::PostMessageA(m_nid.hWnd, WM_NULL, 0, 0);
        return 1;
    }
    UINT first = ::GetMenuItemID(popup, 0);
    ::SendMessageA(m_nid.hWnd, WM_COMMAND, first, 0);
    return 1;
}
