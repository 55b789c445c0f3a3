// Widgets made, reshaped and dropped again and again on a real window leave
// no GDI object behind.
#include "widgets/Label.h"
#include "widgets/ShadeButton.h"

#include "WidgetsTestWindow.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
struct ProbeShade : ShadeButton {
    using ImageButton::m_drawTransparent;
};

// Live GDI objects, up to a constant. Wine's GetGuiResources answers 0, but
// its handle table hands freed slots out again before fresh ones, so once
// the probes outnumber the free slots, the highest slot they take is the
// number of live objects plus the number of probes.
long LiveGdiObjects()
{
    if (DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS))
        return static_cast<long>(count);
    std::vector<HBRUSH> probes(16384);
    long highest = 0;
    for (HBRUSH& probe : probes) {
        probe = ::CreateSolidBrush(0);
        highest = std::max<long>(highest, LOWORD(reinterpret_cast<UINT_PTR>(probe)));
    }
    for (HBRUSH probe : probes)
        ::DeleteObject(probe);
    return highest - static_cast<long>(probes.size());
}

void UseWidgetsOnce(TestParentWindow* parent)
{
    Label label;
    ProbeShade button;
    HWND labelWindow = ::CreateWindowExA(0, "STATIC", "10:00", WS_CHILD | WS_VISIBLE, 4, 40, 150, 20,
                                         parent->m_hWnd, nullptr, nullptr, nullptr);
    HWND buttonWindow = parent->addButton(1, "OK", BS_PUSHBUTTON, RECT{10, 10, 90, 34});
    ASSERT_TRUE(label.SubclassWindow(labelWindow) && button.SubclassWindow(buttonWindow));
    label.setFontBold(TRUE).setFontSize(14).setTextColour(RGB(200, 0, 0)).setFontBold(FALSE);
    ::UpdateWindow(labelWindow);
    button.setShade(6, 8, 10, 0, 0);
    button.setIcon(IDI_OK, ImageButton::kGrayOutIcon);
    button.setShade(2, 4, 20, 30, RGB(0, 0, 255));
    button.setIcon(IDI_CLOSE, IDI_OK);
    MSG move{buttonWindow, WM_MOUSEMOVE};
    button.PreTranslateMessage(&move);  // makes the tooltip
    // The resting and the hovered texture, then the saved parent background.
    TestCanvas canvas(80, 24);
    const WPARAM dc = reinterpret_cast<WPARAM>(canvas.dc());
    ::SendMessageA(buttonWindow, WM_PRINTCLIENT, dc, PRF_CLIENT);
    ::SendMessageA(buttonWindow, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ::SendMessageA(buttonWindow, WM_PRINTCLIENT, dc, PRF_CLIENT);
    button.m_drawTransparent = TRUE;
    ::SendMessageA(buttonWindow, WM_PRINTCLIENT, dc, PRF_CLIENT);
    // As in a dialog, the windows go before the objects that drew them.
    ::DestroyWindow(labelWindow);
    ::DestroyWindow(buttonWindow);
}
}

TEST(WidgetHandles, MakingAndDroppingWidgetsLeavesNoGuiObjectBehind)
{
    TestParentWindow* parent = SharedTestParent();
    if (!parent)
        GTEST_SKIP() << "no display";
    UseWidgetsOnce(parent);  // the first use loads what stays: classes, system fonts
    const long before = LiveGdiObjects();
    // The measure must see one brush more. The brush stays to the end: freed,
    // it would leave one free slot more than the probes fill.
    ScopedGdiObj<HBRUSH> extra(::CreateSolidBrush(0));
    const long withExtra = LiveGdiObjects();
    ASSERT_EQ(withExtra, before + 1) << "the measure does not see one more brush";

    const int kRounds = 40;
    for (int i = 0; i < kRounds; ++i)
        UseWidgetsOnce(parent);
    // Icons and tooltips, USER objects that Wine does not count, show here
    // through the bitmaps and fonts they hold.
    EXPECT_LE(LiveGdiObjects(), withExtra) << "GDI objects left behind by " << kRounds << " rounds";
}
