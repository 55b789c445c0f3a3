#pragma once
// The program's icon in the notification area, its tooltip and its menu,
// reached with the mouse or from the keyboard (Win+B, the arrow keys, then
// Enter, Space, Shift+F10 or the menu key).
//
// The icon is the user's only way to the monitor, so it outlives the shell:
// when Explorer restarts (a crash, an update, a sign-in where the monitor
// starts before the taskbar) it broadcasts "TaskbarCreated" and every icon
// must be added again; an add the shell refused is tried again with the next
// tooltip, and a refused change keeps the icon for the next try.
#include "app/BalloonFate.h"
#include "app/TrayClickOrder.h"
#include "framework/CMenu.h"
#include "framework/ScopedHandle.h"

#include <windows.h>
#include <shellapi.h>

class CWnd;

// The record size of the shell's version-2 icon data (936 bytes in a 32-bit
// build); newer headers make the structure larger than the shell of the day
// expects. The wide record: the tooltip and the balloon reach the shell as
// the program's Korean whatever the code page of the machine.
const DWORD kNotifyIconDataSize = NOTIFYICONDATAW_V2_SIZE;

// The shell's behaviour the icon asks for after each add: that of Windows
// 2000 (NOTIFYICON_VERSION, 3), which tells a keyboard's Enter or Space
// (NIN_KEYSELECT) and its Shift+F10 or menu key (WM_CONTEXTMENU) apart from
// the mouse, and keeps the callback's layout: wParam the icon id, lParam the
// event. Version 4 would move the id into lParam and break that layout.
const UINT kNotifyIconVersion = NOTIFYICON_VERSION;

// What a balloon says it is (dwInfoFlags, which the version-2 record carries).
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
    // Loads the icon at the size the notification area draws it now (the
    // small icon of the taskbar's DPI), shows it and owns it until another
    // takes its place.
    void ShowIconResource(UINT iconId, const char* moduleName = nullptr);
    // Sets the tooltip (CP949, as all of the program's texts); while the
    // shell does not hold the icon, adds it again with this tooltip first.
    void SetTip(const char* text);
    // A balloon of the given kind from the icon; the tooltip stays as it is.
    BOOL ShowBalloon(const char* title, const char* text, DWORD kind);
    // What became of the last balloon, as far as Windows has told, and how
    // many have been sent: a new one takes the place of the last.
    BalloonFate Balloon() const { return m_balloon; }
    unsigned BalloonsSent() const { return m_balloonsSent; }
    // wParam: the icon id; lParam: the mouse, keyboard or balloon event. A
    // click or key is acted on once everything queued before it has been
    // handled (see TrayClickOrder). 1 when handled.
    virtual LRESULT OnNotify(WPARAM id, LPARAM event);

    // The shell's broadcast after it has made a new notification area.
    bool IsTaskbarCreated(UINT msg) const { return m_taskbarCreated != 0 && msg == m_taskbarCreated; }
    void OnTaskbarCreated();

    // For callers that need to see what the shell was told.
    const NOTIFYICONDATAW& Data() const { return m_nid; }
    // True while the shell holds the icon.
    BOOL IconShown() const { return m_inShell; }

private:
    BOOL Notify(DWORD command, UINT flags);
    UINT IconFlags() const;
    // Adds the icon with its tooltip and callback; an add whose answer was
    // lost may have reached the shell, so a refused add is followed by a change.
    BOOL AddAgain();
    // The popup of the menu resource, ready to show; null without one.
    HMENU Popup();
    // At the cursor, as the mouse opens it.
    void ShowMenuAtCursor(HMENU popup);
    // At the icon, as the keyboard opens it; the notification area gets the
    // focus back when the menu is left without a choice.
    void ShowMenuAtIcon(HMENU popup);
    LRESULT Act(TrayAction action);

    CMenu m_menu;
    NOTIFYICONDATAW m_nid;  // hIcon: the icon to show, also while the shell lacks it
    ScopedIcon m_loadedIcon;
    // Where m_loadedIcon came from, to load it again at a new scale.
    UINT m_iconId = 0;
    HMODULE m_iconModule = nullptr;
    bool m_inShell = false;
    UINT m_taskbarCreated = 0;
    TrayClickOrder m_clicks;
    BalloonFate m_balloon = BalloonFate::None;
    unsigned m_balloonsSent = 0;
};
