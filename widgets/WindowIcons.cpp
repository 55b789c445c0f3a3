#include "widgets/WindowIcons.h"

#include "framework/CWinApp.h"
#include "widgets/Dpi.h"

void WindowIcons::Apply(HWND hwnd, UINT dpi)
{
    if (!hwnd)
        return;
    if (!dpi)
        dpi = DpiOfWindow(hwnd);
    HINSTANCE module = AfxGetInstanceHandle();
    HICON big = LoadIconAtSize(module, m_iconId, SystemMetricForDpi(SM_CXICON, dpi));
    HICON small = LoadIconAtSize(module, m_iconId, SystemMetricForDpi(SM_CXSMICON, dpi));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    // The old ones go only now that the window holds the new ones.
    m_big.Reset(big);
    m_small.Reset(small);
}
