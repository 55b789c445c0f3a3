#include "widgets/ReadOnlyText.h"

BOOL ReadOnlyText::OnChildNotify(UINT msg, WPARAM wParam, LPARAM, LRESULT* result)
{
    if (msg != WM_CTLCOLORSTATIC)
        return FALSE;
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    // The system's own brush: it follows every change of colours, contrast
    // themes included, and is never deleted.
    *result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    return TRUE;
}
