// Hiding the active dialog hands activation on, passing over a disabled
// window: the owner must be enabled first, or another program comes forward.
#include "framework/CDialog.h"
#include "framework/CFileDialog.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>

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

namespace {
// Sets a text of the program's (CP949) on a control and reads what Windows holds.
struct TextDialog : CDialog {
    TextDialog() : CDialog(IDD_ABOUTBOX) {}
    std::string text = "VPN 접속시간 ★";
    bool unicode = false;
    std::wstring held;
    std::string readBack;
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_ABOUT_VERSION, text); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        HWND item = GetDlgItem(IDC_ABOUT_VERSION);
        unicode = ::IsWindowUnicode(m_hWnd) && ::IsWindowUnicode(item);
        wchar_t buffer[64] = L"";
        ::GetWindowTextW(item, buffer, 64);
        held = buffer;
        text.clear();
        UpdateData(TRUE);
        readBack = text;
        EndDialog(IDOK);
        return TRUE;
    }
};
}

TEST(CDialog, ItsWindowsAreUnicodeAndTakeTheProgramsTextsAsCp949)
{
    TextDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(dialog.unicode) << "the dialog and its controls must be Unicode windows";
    EXPECT_EQ(dialog.held, L"VPN 접속시간 ★");
    EXPECT_EQ(dialog.readBack, "VPN 접속시간 ★");
}

TEST(CFileDialog, FilterIsConvertedFromCp949)
{
    CFileDialog dialog(FALSE, nullptr, nullptr, 0, "로그파일(*.log)|*.log||", nullptr);
    // Name, pattern, and the NUL that ends the list; the literal's own is the last.
    const std::wstring expected(L"로그파일(*.log)\0*.log\0\0", 20);
    EXPECT_EQ(std::wstring(dialog.m_ofn.lpstrFilter, expected.size()), expected);
}
