#pragma once
// A text box the user reads and does not change. Read-only, so the keyboard
// cannot alter it and a screen reader says so; drawn as before, in the
// window's colours of an editable box, not on the dialog face that Windows
// gives a read-only edit through WM_CTLCOLORSTATIC.
#include "framework/CWnd.h"

class ReadOnlyText : public CWnd {
protected:
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
