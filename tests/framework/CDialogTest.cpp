// Hiding the active dialog hands activation on, passing over a disabled
// window: the owner must be enabled first, or another program comes forward.
#include "framework/CDialog.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {
struct EndingDialog : CDialog {
    explicit EndingDialog(CWnd* owner) : CDialog(IDD_ABOUTBOX, owner) {}
    int ownerEnabledAtHide = -1;
    BOOL OnInitDialog() override { SetTimer(1, 50); return CDialog::OnInitDialog(); }  // ends once shown
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_TIMER)
            EndDialog(IDOK);
        if (msg == WM_SHOWWINDOW && !wParam)
            ownerEnabledAtHide = ::IsWindowEnabled(m_pParentWnd->m_hWnd);
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};
}

TEST(CDialog, DoModal_EnablesTheOwnerBeforeTheDialogHides)
{
    CWnd owner;
    ASSERT_TRUE(owner.SubclassWindow(::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, nullptr,
                                                        nullptr, nullptr, nullptr)));
    EndingDialog dialog(&owner);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.ownerEnabledAtHide, 1) << "the owner was still disabled when the dialog hid";
    ::DestroyWindow(owner.m_hWnd);
}
