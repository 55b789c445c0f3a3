// The label's font and colour setters, and what it answers when its parent
// reflects WM_CTLCOLORSTATIC to it.
#include "WidgetsTestWindow.h"
#include "widgets/Label.h"

#include <gtest/gtest.h>

namespace {
struct ProbeLabel : Label { using Label::m_highContrast; };

HWND AddStatic(TestParentWindow* parent, int id, const char* text)
{
    return ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT, 4, 4, 200, 20, parent->m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
}
}

TEST(Label, SettersShapeTheFontAsAskedWhateverTheDpi)
{
    Label label;
    label.setFontBold(1).setFontSize(12);
    EXPECT_EQ(label.logFont().lfWeight, FW_BOLD);
    EXPECT_EQ(label.logFont().lfHeight, -12) << "a character height in logical units, not points";
    label.setFontBold(0).setFontSize(11);
    EXPECT_EQ(label.logFont().lfWeight, FW_NORMAL);
    EXPECT_EQ(label.logFont().lfHeight, -11);
}

TEST(Label, ReflectedCtlColorSetsItsOwnOrInHighContrastTheSystemsTextColourOnTheButtonFace)
{
    TestParentWindow* parent = SharedTestParent();
    if (!parent)
        GTEST_SKIP() << "no display";
    HWND ctl = AddStatic(parent, 4001, "old");
    ASSERT_TRUE(ctl);
    ProbeLabel label;
    ASSERT_TRUE(label.SubclassWindow(ctl));
    label.setFontBold(1).setTextColour(RGB(123, 123, 192)).setFontSize(12).setText("접속시간:");
    EXPECT_EQ(label.GetWindowText(), "접속시간:");

    HDC dc = ::GetDC(ctl);
    ::SetTextColor(dc, RGB(0, 0, 0));
    LRESULT brush = ::SendMessageA(parent->m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(ctl));
    EXPECT_NE(brush, 0) << "the parent must hand the label's own brush back";
    EXPECT_EQ(::GetTextColor(dc), RGB(123, 123, 192));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    LOGBRUSH lb{};
    ::GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof lb, &lb);
    EXPECT_EQ(lb.lbColor, ::GetSysColor(COLOR_BTNFACE));
    label.m_highContrast = true;
    ::SendMessageA(parent->m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(ctl));
    EXPECT_EQ(::GetTextColor(dc), ::GetSysColor(COLOR_BTNTEXT)) << "high contrast: the system's text colour";
    ::ReleaseDC(ctl, dc);

    // Without a blink a timer tick flips the phase only: the text stays.
    ::SendMessageA(ctl, WM_TIMER, 1, 0);
    EXPECT_EQ(label.GetWindowText(), "접속시간:");
    ::DestroyWindow(ctl);
}
