// A modal dialog as the user meets it when it ends: Windows hands
// activation from a hidden dialog to the next enabled window, so the owner
// must be enabled again before the dialog hides, or another program's
// window comes forward.
#include "framework/CDialog.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {
class EndingDialog : public CDialog {
public:
    explicit EndingDialog(CWnd* owner) : CDialog(IDD_ABOUTBOX, owner) {}
    int ownerEnabledAtHide = -1;

protected:
    BOOL OnInitDialog() override
    {
        SetTimer(1, 50);  // ends once the loop has shown it
        return CDialog::OnInitDialog();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_TIMER)
            EndDialog(IDOK);
        if (msg == WM_SHOWWINDOW && !wParam)
            ownerEnabledAtHide = ::IsWindowEnabled(m_pParentWnd->m_hWnd) ? 1 : 0;
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};
}

TEST(CDialog, DoModal_EnablesTheOwnerBeforeTheDialogHides)
{
    CWnd owner;
    ASSERT_TRUE(owner.SubclassWindow(::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                                        nullptr, nullptr, nullptr, nullptr)));
    EndingDialog dialog(&owner);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.ownerEnabledAtHide, 1) << "the owner was still disabled when the dialog hid";
    EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
    ::DestroyWindow(owner.m_hWnd);
}
