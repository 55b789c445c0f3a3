#pragma once
// The program's icon in the notification area, its tooltip and its menu.
//
// The icon is the user's only way to the monitor, so it outlives the shell:
// when Explorer restarts (a crash, an update, a sign-in where the monitor
// starts before the taskbar) it broadcasts "TaskbarCreated" and every icon
// must be added again; an add the shell refused is tried again with the next
// tooltip, and a refused change keeps the icon for the next try.
#include "framework/CMenu.h"
#include "framework/ScopedHandle.h"

#include <windows.h>
#include <shellapi.h>

class CWnd;

// The record size of the shell's version-2 icon data in a 32-bit build;
// newer headers make the structure larger than the shell of the day expects.
const DWORD kNotifyIconDataSize = 488;

// What a balloon says it is (dwInfoFlags, which the 488-byte record carries).
// Information is left out in the quiet time Windows keeps after a user's
// first sign-in (Windows 7 and later; older systems ignore the flag); the
// warning that the connection is about to be cut is shown even then.
const DWORD kBalloonWarning = NIIF_WARNING;
const DWORD kBalloonInformation = NIIF_INFO | NIIF_RESPECT_QUIET_TIME;

class CTrayIcon {
public:
    explicit CTrayIcon(UINT id);
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    BOOL AttachWindow(CWnd* owner, UINT callbackMessage);
    BOOL SetMenuResource(UINT menuId);
    // The caller keeps ownership of `icon`; null removes the icon.
    BOOL ShowIcon(HICON icon);
    // Loads the icon, shows it and owns it until another takes its place.
    void ShowIconResource(UINT iconId, const char* moduleName = nullptr);
    // Sets the tooltip; while the shell does not hold the icon, adds it again
    // with this tooltip first.
    void SetTip(const char* text);
    // A balloon of the given kind from the icon; the tooltip stays as it is.
    BOOL ShowBalloon(const char* title, const char* text, DWORD kind);
    // wParam: the icon id; lParam: the mouse event. 1 when handled.
    virtual LRESULT OnNotify(WPARAM id, LPARAM event);

    // The shell's broadcast after it has made a new notification area.
    bool IsTaskbarCreated(UINT msg) const { return m_taskbarCreated != 0 && msg == m_taskbarCreated; }
    void OnTaskbarCreated();

    // For callers that need to see what the shell was told.
    const NOTIFYICONDATAA& Data() const { return m_nid; }
    // True while the shell holds the icon.
    BOOL IconShown() const { return m_inShell; }

private:
    BOOL Notify(DWORD command, UINT flags);
    UINT IconFlags() const;
    // Adds the icon with its tooltip and callback; an add whose answer was
    // lost may have reached the shell, so a refused add is followed by a change.
    BOOL AddAgain();

    CMenu m_menu;
    NOTIFYICONDATAA m_nid;  // hIcon: the icon to show, also while the shell lacks it
    ScopedIcon m_loadedIcon;
    bool m_inShell = false;
    UINT m_taskbarCreated = 0;
};
