#pragma once
// What the user did on the icon, whatever order its events arrive in. With
// the version the icon asks for, the shell follows a click's WM_LBUTTONUP
// with NIN_SELECT and a right click's WM_RBUTTONUP with WM_CONTEXTMENU; the
// keyboard's Enter or Space, Shift+F10 and menu key bring a notification
// alone. The shell may send the notifications and post the mouse messages,
// so either of a pair can come first. Events are therefore gathered into a
// run, and the run is judged only once everything queued before it has
// been handled: its first event makes the window post itself the decision.
#include <windows.h>

enum class TrayAction { None, OpenDefault, MenuAtCursor, MenuAtIcon };

class TrayClickOrder {
public:
    // Takes a mouse or keyboard event of the icon; false for any other
    // (mouse moves, presses, balloon events), which leaves the run as it is.
    // `opensRun` tells the caller to post itself the decision.
    bool Add(LPARAM event, bool& opensRun);
    // What the run meant: one click nothing, a double click the default
    // command once, a right click one menu; the next event opens a new run.
    TrayAction Decide();

private:
    bool m_open = false;
    int m_leftUps = 0;
    int m_selects = 0;
    int m_doubleClicks = 0;
    int m_keySelects = 0;
    int m_rightUps = 0;
    int m_contextMenus = 0;
    // A click of an earlier run whose notification is still to come.
    bool m_leftClickOwed = false;
    bool m_rightClickOwed = false;
};
