#include "app/TrayClickOrder.h"

#include <shellapi.h>

#include <algorithm>

namespace {
// How many of the notifications came from the keyboard: those left over
// once each click, of this run or owed from an earlier one, has taken its own.
int FromKeyboard(int clicks, int notifications, bool& owed)
{
    const int available = clicks + (owed ? 1 : 0);
    const int ofClicks = std::min(notifications, available);
    owed = available > ofClicks;
    return notifications - ofClicks;
}
}

bool TrayClickOrder::Add(LPARAM event, bool& opensRun)
{
    int* count = nullptr;
    switch (event) {
    case WM_LBUTTONUP: count = &m_leftUps; break;
    case NIN_SELECT: count = &m_selects; break;
    case WM_LBUTTONDBLCLK: count = &m_doubleClicks; break;
    case NIN_KEYSELECT: count = &m_keySelects; break;
    case WM_RBUTTONUP: count = &m_rightUps; break;
    case WM_CONTEXTMENU: count = &m_contextMenus; break;
    default: return false;
    }
    ++*count;
    opensRun = !m_open;
    m_open = true;
    return true;
}

TrayAction TrayClickOrder::Decide()
{
    const int enter = FromKeyboard(m_leftUps, m_selects, m_leftClickOwed);
    const int menuKey = FromKeyboard(m_rightUps, m_contextMenus, m_rightClickOwed);
    TrayAction action = TrayAction::None;
    if (m_rightUps > 0)
        action = TrayAction::MenuAtCursor;
    else if (menuKey > 0)
        action = TrayAction::MenuAtIcon;
    else if (m_doubleClicks > 0 || m_keySelects > 0 || enter > 0)
        action = TrayAction::OpenDefault;
    m_open = false;
    m_leftUps = m_selects = m_doubleClicks = m_keySelects = m_rightUps = m_contextMenus = 0;
    return action;
}
