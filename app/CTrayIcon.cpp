#include "app/CTrayIcon.h"

#include "framework/CWnd.h"
#include "framework/CommonControls.h"
#include "framework/Cp949.h"

#include <cstring>

static_assert(sizeof(NOTIFYICONDATAW) >= kNotifyIconDataSize, "icon record smaller than the shell expects");

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
    // Loaded for this icon alone, at the size the notification area draws:
    // an icon loaded shared keeps the size it was first loaded at, and one
    // of another size is stretched into blur.
    HICON icon = nullptr;
    if (FAILED(Comctl32::LoadIconMetric(module, MAKEINTRESOURCEW(iconId), LIM_SMALL, &icon)))
        icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                               LR_LOADMAP3DCOLORS));
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
    lstrcpynW(m_nid.szTip, Widen(text ? text : "").c_str(), ARRAYSIZE(m_nid.szTip));
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
    lstrcpynW(m_nid.szInfo, Widen(text ? text : "").c_str(), ARRAYSIZE(m_nid.szInfo));
    lstrcpynW(m_nid.szInfoTitle, Widen(title ? title : "").c_str(), ARRAYSIZE(m_nid.szInfoTitle));
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

LRESULT CTrayIcon::OnNotify(WPARAM id, LPARAM event)
{
    if (id != m_nid.uID)
        return 0;
    // Set before anything runs: a menu's loop delivers the next event meanwhile.
    const LPARAM previous = m_lastEvent;
    if (event != WM_MOUSEMOVE)
        m_lastEvent = event;
    switch (event) {
    case NIN_SELECT:
        // Enter on an icon the mouse has selected; after a click the shell
        // sends it too, and a click does nothing.
        if (previous == WM_LBUTTONUP)
            return 0;
        [[fallthrough]];
    case WM_LBUTTONDBLCLK:
    case NIN_KEYSELECT: {
        HMENU popup = Popup();
        if (!popup)
            return 0;
        ::SendMessageW(m_nid.hWnd, WM_COMMAND, ::GetMenuItemID(popup, 0), 0);
        return 1;
    }
    case WM_CONTEXTMENU:
        // Shift+F10 or the menu key; after a right click the shell sends it
        // too, and that click has opened the menu already.
        if (previous == WM_RBUTTONUP)
            return 0;
        if (HMENU popup = Popup()) {
            ShowMenuAtIcon(popup);
            return 1;
        }
        return 0;
    case WM_RBUTTONUP:
        if (HMENU popup = Popup()) {
            ShowMenuAtCursor(popup);
            return 1;
        }
        return 0;
    }
    return 0;
}
