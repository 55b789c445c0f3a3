#include "app/CTrayIcon.h"

#include "framework/CWnd.h"

#include <cstring>

static_assert(sizeof(NOTIFYICONDATAA) >= kNotifyIconDataSize, "icon record smaller than the shell expects");

CTrayIcon::CTrayIcon(UINT id)
{
    std::memset(&m_nid, 0, sizeof m_nid);
    m_nid.cbSize = kNotifyIconDataSize;
    m_nid.uID = id;
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
    if (callbackMessage == 0)
        return FALSE;
    m_nid.uCallbackMessage = callbackMessage;
    return TRUE;
}

BOOL CTrayIcon::SetMenuResource(UINT menuId)
{
    return m_menu.LoadMenu(menuId);
}

BOOL CTrayIcon::ShowIcon(HICON icon)
{
    DWORD command;
    m_nid.uFlags = 0;
    if (icon) {
        command = m_nid.hIcon ? NIM_MODIFY : NIM_ADD;
        m_nid.hIcon = icon;
        m_nid.uFlags = NIF_ICON;
    } else {
        // Nothing shown and nothing to show: the shell has nothing to do.
        if (!m_nid.hIcon)
            return FALSE;
        command = NIM_DELETE;
    }
    if (m_nid.hWnd && m_nid.uCallbackMessage)
        m_nid.uFlags |= NIF_MESSAGE;

    BOOL ok = ::Shell_NotifyIconA(command, &m_nid);
    if (!ok || command == NIM_DELETE)
        m_nid.hIcon = nullptr;
    return ok;
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
    if (!m_nid.hIcon)
        return;
    lstrcpynA(m_nid.szTip, text ? text : "", sizeof m_nid.szTip);
    m_nid.uFlags = NIF_TIP;
    if (!::Shell_NotifyIconA(NIM_MODIFY, &m_nid))
        m_nid.hIcon = nullptr;
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
        return 1;
    }
    UINT first = ::GetMenuItemID(popup, 0);
    ::SendMessageA(m_nid.hWnd, WM_COMMAND, first, 0);
    return 1;
}
