#pragma once
// The big and the small icon of a top-level window (caption, taskbar,
// Alt+Tab), each made at the size Windows draws it at the window's DPI and
// made again when the window moves to a monitor of another scale; a shared
// icon would keep its first size and be stretched into blur.
#include "framework/ScopedHandle.h"

#include <windows.h>

class WindowIcons {
public:
    explicit WindowIcons(UINT iconId) : m_iconId(iconId) {}
    WindowIcons(const WindowIcons&) = delete;
    WindowIcons& operator=(const WindowIcons&) = delete;

    // Loads both icon sizes for `dpi` (0: the window's own) and hands them to
    // the window, which draws them until the next call.
    void Apply(HWND hwnd, UINT dpi = 0);

private:
    UINT m_iconId;
    ScopedIcon m_big;
    ScopedIcon m_small;
};
