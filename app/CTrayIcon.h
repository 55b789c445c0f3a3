#pragma once
// The program's icon in the notification area, its tooltip and its menu.
#include "framework/CMenu.h"
#include "framework/ScopedHandle.h"

#include <windows.h>
#include <shellapi.h>

class CWnd;

// The record size of the shell's version-2 icon data in a 32-bit build;
// newer headers make the structure larger than the shell of the day expects.
const DWORD kNotifyIconDataSize = 488;

class CTrayIcon {
public:
    explicit CTrayIcon(UINT id);
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    BOOL AttachWindow(CWnd* owner, UINT callbackMessage);
    BOOL SetMenuResource(UINT menuId);
    // The caller keeps ownership of `icon`.
    BOOL ShowIcon(HICON icon);
    // Loads the icon, shows it and owns it until another takes its place.
    void ShowIconResource(UINT iconId, const char* moduleName = nullptr);
    void SetTip(const char* text);
    // wParam: the icon id; lParam: the mouse event. 1 when handled.
    virtual LRESULT OnNotify(WPARAM id, LPARAM event);

    // For callers that need to see what the shell was told.
    const NOTIFYICONDATAA& Data() const { return m_nid; }
    BOOL IconShown() const { return m_nid.hIcon != nullptr; }

private:
    CMenu m_menu;
    NOTIFYICONDATAA m_nid;
    ScopedIcon m_loadedIcon;
};
