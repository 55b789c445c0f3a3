#include "widgets/ImageButton.h"

#include "WidgetsTestResource.h"
#include "WidgetsTestWindow.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {
// Opens the button's insides to the tests.
class ProbeButton : public ImageButton {
public:
    using ImageButton::DrawItem;
    using ImageButton::m_checked;
    using ImageButton::m_flat;
    using ImageButton::m_icons;
    using ImageButton::m_isCheckBox;
    using ImageButton::m_isDefault;
    using ImageButton::m_menu;
    using ImageButton::m_mouseOver;
    using ImageButton::m_pressedOffset;
};

// A 16x16 icon, opaque everywhere, in one colour with a black top row.
HICON MakeIcon(COLORREF colour)
{
    HDC screen = ::GetDC(nullptr);
    HBITMAP image = ::CreateCompatibleBitmap(screen, 16, 16);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ previous = ::SelectObject(dc, image);
    HBRUSH brush = ::CreateSolidBrush(colour);
    RECT all{0, 0, 16, 16}, top{0, 0, 16, 1};
    ::FillRect(dc, &all, brush);
    ::FillRect(dc, &top, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::DeleteObject(brush);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    static const WORD kOpaque[16] = {};
    HBITMAP mask = ::CreateBitmap(16, 16, 1, 1, kOpaque);
    ICONINFO info{TRUE, 0, 0, mask, image};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    ::DeleteObject(image);
    return icon;
}

COLORREF IconPixel(HICON icon, int x, int y, bool fromMask = false)
{
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return CLR_INVALID;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previous = ::SelectObject(dc, fromMask ? info.hbmMask : info.hbmColor);
    COLORREF pixel = ::GetPixel(dc, x, y);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return pixel;
}

DRAWITEMSTRUCT DrawRequest(HDC dc, RECT rect, UINT state)
{
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hDC = dc;
    dis.rcItem = rect;
    return dis;
}

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGrayOfRed = RGB(76, 76, 76);  // 0.299 · 255, truncated
}

TEST(ImageButton, PlacesImageForEachAlignmentCaptionAndPress)
{
    struct Case {
        int alignment;
        bool caption, pressed;
        RECT image, captionRect;
    };
    // Item 100x30, image 16x16, origin (3,3), pressed offset (1,1).
    const Case cases[] = {
        {0, true, false, {3, 7, 19, 23}, {19, 0, 100, 30}},
        {0, true, true, {4, 8, 20, 24}, {19, 0, 100, 30}},
        {0, false, false, {42, 7, 58, 23}, {0, 0, 100, 30}},
        {1, true, false, {42, 3, 58, 19}, {0, 16, 100, 30}},
        {1, true, true, {43, 4, 59, 20}, {0, 16, 100, 30}},
        {1, false, false, {42, 7, 58, 23}, {0, 0, 100, 30}},
        {2, true, false, {81, 7, 97, 23}, {3, 0, 81, 30}},
        {2, false, false, {42, 0, 58, 16}, {0, 0, 100, 30}},
        {2, false, true, {43, 1, 59, 17}, {0, 0, 100, 30}},
    };
    const RECT item{0, 0, 100, 30};
    for (const Case& c : cases) {
        auto p = ImageButton::placeImage(c.alignment, c.caption, c.pressed, POINT{3, 3}, POINT{1, 1}, item, item,
                                         SIZE{16, 16});
        const char* what = c.caption ? "with caption" : "without caption";
        EXPECT_TRUE(EqualRect(&p.image, &c.image))
            << "alignment " << c.alignment << " " << what << (c.pressed ? " pressed" : "") << ": image at "
            << p.image.left << "," << p.image.top << "-" << p.image.right << "," << p.image.bottom;
        EXPECT_TRUE(EqualRect(&p.caption, &c.captionRect))
            << "alignment " << c.alignment << " " << what << ": caption " << p.caption.left << ","
            << p.caption.top << "-" << p.caption.right << "," << p.caption.bottom;
    }
}

TEST(ImageButton, ShowsOutImageOnlyWhileNotActive)
{
    struct Case {
        bool checkBox, pressed, mouseOver, out;
    };
    const Case cases[] = {
        {false, false, false, true}, {false, false, true, false}, {false, true, false, false},
        {true, false, false, true},  {true, false, true, true},   {true, true, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImageButton::showsOutImage(c.checkBox, c.pressed, c.mouseOver), c.out)
            << (c.checkBox ? "check box" : "push button") << " pressed=" << c.pressed << " over=" << c.mouseOver;
}

TEST(ImageButton, SetPressedStyleAcceptsOnlyZeroAndOne)
{
    struct Case {
        int style, result;
        POINT offset;
    };
    const Case cases[] = {{1, 0, {0, 2}}, {0, 0, {1, 1}}, {2, 6, {1, 1}}, {-1, 6, {1, 1}}};
    ProbeButton button;
    for (const Case& c : cases) {
        EXPECT_EQ(button.setPressedStyle(c.style, FALSE), c.result) << "style " << c.style;
        EXPECT_EQ(button.m_pressedOffset.x, c.offset.x) << "after style " << c.style;
        EXPECT_EQ(button.m_pressedOffset.y, c.offset.y) << "after style " << c.style;
    }
}

TEST(ImageButton, SetCheckOnlyActsOnCheckBoxes)
{
    ProbeButton button;
    button.setCheck(1, FALSE);
    EXPECT_EQ(button.getCheck(), 0) << "a push button has no check state";
    button.m_isCheckBox = TRUE;
    button.setCheck(5, FALSE);
    EXPECT_EQ(button.getCheck(), 1);
    button.setCheck(0, FALSE);
    EXPECT_EQ(button.getCheck(), 0);
}

TEST(ImageButton, GrayscaleIconGraysEveryColouredPixelAndKeepsTheMask)
{
    struct Case {
        COLORREF colour, gray;
    };
    const Case cases[] = {
        {RGB(255, 0, 0), RGB(76, 76, 76)},
        {RGB(0, 255, 0), RGB(149, 149, 149)},
        {RGB(0, 0, 255), RGB(29, 29, 29)},
        {RGB(100, 150, 200), RGB(140, 140, 140)},
    };
    for (const Case& c : cases) {
        HICON icon = MakeIcon(c.colour);
        ASSERT_NE(icon, nullptr);
        HICON gray = ImageButton::createGrayscaleIcon(icon);
        ASSERT_NE(gray, nullptr) << "no gray icon for " << ColourText(c.colour);
        EXPECT_EQ(IconPixel(gray, 8, 8), c.gray) << ColourText(c.colour) << " became " << ColourText(IconPixel(gray, 8, 8));
        EXPECT_EQ(IconPixel(gray, 8, 0), RGB(0, 0, 0)) << "black pixels stay black";
        EXPECT_EQ(IconPixel(gray, 8, 8, true), IconPixel(icon, 8, 8, true)) << "the mask must be the icon's own";
        EXPECT_EQ(IconPixel(icon, 8, 8), c.colour) << "the source icon must be left alone";
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(gray, &info));
        EXPECT_EQ(info.xHotspot, 8u);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(gray);
        ::DestroyIcon(icon);
    }
}

TEST(ImageButton, SetIconWithGrayOutMakesTwoIconsOfTheHotSpotSize)
{
    ProbeButton button;
    EXPECT_EQ(button.setIcon(MakeIcon(kRed), ImageButton::grayOutIcon()), 0);
    ASSERT_NE(button.m_icons[0].icon.Get(), nullptr);
    ASSERT_NE(button.m_icons[1].icon.Get(), nullptr) << "the -2 out icon must be a gray copy";
    EXPECT_EQ(button.m_icons[0].width, 16);
    EXPECT_EQ(button.m_icons[1].height, 16);
    EXPECT_EQ(IconPixel(button.m_icons[1].icon.Get(), 5, 5), kGrayOfRed);
}

TEST(ImageButton, SetIconWithAnInvalidIconClearsEverythingAndReturnsOne)
{
    ProbeButton button;
    ASSERT_EQ(button.setIcon(MakeIcon(kRed), ImageButton::grayOutIcon()), 0);
    HICON bogus = reinterpret_cast<HICON>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(button.setIcon(bogus, nullptr), 1);
    EXPECT_EQ(button.m_icons[0].icon.Get(), nullptr);
    EXPECT_EQ(button.m_icons[1].icon.Get(), nullptr);
    EXPECT_EQ(button.setIcon(nullptr, nullptr), 0) << "a null icon only clears";
}

TEST(ImageButton, SetIconLoadsResourceIconsAndTheGrayCopy)
{
    ProbeButton button;
    EXPECT_EQ(button.setIcon(IDI_OK, ImageButton::kGrayOutIcon), 0);
    ASSERT_NE(button.m_icons[0].icon.Get(), nullptr) << "icon " << IDI_OK << " did not load";
    ASSERT_NE(button.m_icons[1].icon.Get(), nullptr);
    EXPECT_GT(button.m_icons[0].width, 0);
    EXPECT_EQ(button.m_icons[1].width, button.m_icons[0].width);
    EXPECT_EQ(button.setIcon(IDI_CLOSE, 0), 0);
    EXPECT_NE(button.m_icons[0].icon.Get(), nullptr);
    EXPECT_EQ(button.m_icons[1].icon.Get(), nullptr) << "out resource 0 means no out icon";
}

TEST(ImageButton, DoubleClickIsTreatedAsASecondClick)
{
    ProbeButton button;
    MSG msg{};
    msg.message = WM_LBUTTONDBLCLK;
    EXPECT_FALSE(button.PreTranslateMessage(&msg));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_LBUTTONDOWN));
}

TEST(ImageButton, FlatButtonShowsBorderOnlyUnderTheMouseFocusOnlyAfterTheKeyboardAndColourIconOnlyWhenActive)
{
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    ProbeButton button;
    ASSERT_EQ(button.setIcon(MakeIcon(kRed), ImageButton::grayOutIcon()), 0);
    const RECT rect{0, 0, 40, 30};  // the 16x16 icon lands at (12, 7)
    TestCanvas canvas(40, 30, RGB(1, 2, 3));

    DRAWITEMSTRUCT rest = DrawRequest(canvas.dc(), rect, ODS_FOCUS | ODS_NOFOCUSRECT);  // focused by a click
    button.DrawItem(&rest);
    EXPECT_EQ(canvas.pixel(0, 0), face) << "no border at rest: " << ColourText(canvas.pixel(0, 0));
    EXPECT_EQ(canvas.pixel(39, 29), face) << "no border at rest: " << ColourText(canvas.pixel(39, 29));
    for (int x = 3; x < 37; ++x)
        ASSERT_EQ(canvas.pixel(x, 3), face) << "no focus rectangle for the mouse (x=" << x << ")";
    EXPECT_EQ(canvas.pixel(20, 15), kGrayOfRed) << "the resting icon is gray: " << ColourText(canvas.pixel(20, 15));
    DRAWITEMSTRUCT keyboard = DrawRequest(canvas.dc(), rect, ODS_FOCUS);
    button.DrawItem(&keyboard);
    EXPECT_NE(canvas.pixel(4, 3), face) << "a focus rectangle 3 pixels inside once the keyboard is used";

    button.m_mouseOver = TRUE;
    DRAWITEMSTRUCT hover = DrawRequest(canvas.dc(), rect, 0);
    button.DrawItem(&hover);
    EXPECT_EQ(canvas.pixel(0, 0), highlight) << "raised border under the mouse";
    EXPECT_EQ(canvas.pixel(39, 29), shadow) << "raised border under the mouse";
    EXPECT_EQ(canvas.pixel(20, 15), kRed) << "the hovered icon is in colour";

    DRAWITEMSTRUCT pressed = DrawRequest(canvas.dc(), rect, ODS_SELECTED);
    button.DrawItem(&pressed);
    EXPECT_EQ(canvas.pixel(0, 0), shadow) << "sunken border while pressed";
    EXPECT_EQ(canvas.pixel(39, 29), highlight) << "sunken border while pressed";
    EXPECT_EQ(canvas.pixel(13, 9), kRed) << "the pressed icon moves by (1,1)";
    EXPECT_EQ(canvas.pixel(12, 8), face) << "the pressed icon moves by (1,1)";
    EXPECT_EQ(canvas.pixel(13, 8), RGB(0, 0, 0)) << "the icon's black top row moved to y=8";
}

TEST(ImageButton, RaisedButtonFramesFocusAndDrawsFocusRectangle)
{
    ProbeButton button;
    button.m_flat = FALSE;
    const RECT rect{0, 0, 40, 30};
    TestCanvas canvas(40, 30, RGB(1, 2, 3));
    DRAWITEMSTRUCT focused = DrawRequest(canvas.dc(), rect, ODS_FOCUS);
    button.DrawItem(&focused);
    EXPECT_EQ(canvas.pixel(0, 0), RGB(0, 0, 0)) << "a focused raised button gets a black frame";
    EXPECT_EQ(canvas.pixel(1, 1), ::GetSysColor(COLOR_BTNHIGHLIGHT));
    bool focusDrawn = false;
    for (int x = 4; x < 36; ++x)
        focusDrawn = focusDrawn || canvas.pixel(x, 4) != ::GetSysColor(COLOR_BTNFACE);
    EXPECT_TRUE(focusDrawn) << "no focus rectangle 3 pixels inside the frame";
}

// --- with real windows ---

class ImageButtonWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_parent = SharedTestParent();
        ASSERT_NE(m_parent, nullptr)
            << "no window could be created: the widget tests need a display (run them under xvfb-run)";
        m_parent->m_commands.clear();
    }
    void TearDown() override
    {
        if (m_hwnd)
            ::DestroyWindow(m_hwnd);
    }
    HWND addButton(DWORD style, const char* text = "OK")
    {
        m_hwnd = m_parent->addButton(1, text, style, RECT{10, 10, 90, 34});
        EXPECT_NE(m_hwnd, nullptr);
        return m_hwnd;
    }
    TestParentWindow* m_parent = nullptr;
    HWND m_hwnd = nullptr;
};

TEST_F(ImageButtonWindow, SubclassingTurnsTheDefaultButtonOwnerDrawn)
{
    ProbeButton button;
    HWND hwnd = addButton(BS_DEFPUSHBUTTON);
    ASSERT_TRUE(button.SubclassWindow(hwnd));
    EXPECT_TRUE(button.m_isDefault);
    EXPECT_FALSE(button.m_isCheckBox);
    EXPECT_EQ(::GetWindowLongA(hwnd, GWL_STYLE) & 0x1F, BS_OWNERDRAW);
    EXPECT_TRUE(::SendMessageA(hwnd, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);

    ::SendMessageA(hwnd, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_FALSE(button.m_isDefault) << "BM_SETSTYLE with a plain push button takes the default look away";
    EXPECT_EQ(::GetWindowLongA(hwnd, GWL_STYLE) & 0xF, BS_OWNERDRAW) << "the button must stay owner-drawn";
    EXPECT_TRUE(::SendMessageA(hwnd, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON);
}

TEST_F(ImageButtonWindow, ReflectedColourRequestGetsTheNullBrush)
{
    ProbeButton button;
    HWND hwnd = addButton(BS_PUSHBUTTON);
    ASSERT_TRUE(button.SubclassWindow(hwnd));
    HDC dc = ::GetDC(hwnd);
    LRESULT brush = ::SendMessageA(m_parent->m_hWnd, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(hwnd));
    ::ReleaseDC(hwnd, dc);
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
}

TEST_F(ImageButtonWindow, ClickReachesTheParentAsWellAndTogglesACheckBox)
{
    ProbeButton button;
    HWND hwnd = addButton(BS_AUTOCHECKBOX, "check");
    ASSERT_TRUE(button.SubclassWindow(hwnd));
    ASSERT_TRUE(button.m_isCheckBox);

    ::SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(::SendMessageA(hwnd, BM_GETCHECK, 0, 0), 1);
    ::SendMessageA(m_parent->m_hWnd, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
    EXPECT_EQ(::SendMessageA(hwnd, BM_GETCHECK, 0, 0), 0) << "a click toggles the check box";
    ASSERT_EQ(m_parent->m_commands.size(), 1u) << "the parent must still receive BN_CLICKED";
    EXPECT_EQ(m_parent->m_commands[0], MAKEWPARAM(1, BN_CLICKED));
    EXPECT_EQ(::GetFocus(), hwnd) << "a click takes the focus";
}

TEST_F(ImageButtonWindow, HoverStartsOnMouseMoveAndEndsOnLeaveOrFocusLoss)
{
    ProbeButton button;
    HWND hwnd = addButton(BS_PUSHBUTTON);
    ASSERT_TRUE(button.SubclassWindow(hwnd));

    ::SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(button.m_mouseOver) << "entering with the left button down must not light the button";
    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(button.m_mouseOver);
    ::SendMessageA(hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(button.m_mouseOver);

    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(button.m_mouseOver);
    ::SendMessageA(hwnd, WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(button.m_mouseOver) << "losing the focus cancels the hover";

    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(button.m_mouseOver);
    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(500, 5));
    EXPECT_FALSE(button.m_mouseOver) << "a point outside the button ends the hover";
}

TEST_F(ImageButtonWindow, MenuMessagesReachTheButtonsIconMenu)
{
    ProbeButton button;
    HWND hwnd = addButton(BS_PUSHBUTTON);
    ASSERT_TRUE(button.SubclassWindow(hwnd));
    ASSERT_TRUE(button.m_menu.loadMenu(IDR_TEST_MENU));
    HMENU popup = button.m_menu.GetSubMenu(0);
    ASSERT_TRUE(IconMenu::isIconMenu(popup));
    IconMenu* file = IconMenu::fromHandle(popup);
    ASSERT_NE(file, nullptr);

    // As the menu loop sends it to a Unicode window: Wine drops the flags of
    // an ANSI WM_MENUCHAR on its way to one, Windows keeps them.
    LRESULT found = ::SendMessageW(hwnd, WM_MENUCHAR, MAKEWPARAM(L'x', MF_POPUP), reinterpret_cast<LPARAM>(popup));
    EXPECT_EQ(found, MAKELRESULT(2, MNC_EXECUTE)) << "E&xit is the third item";

    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_MENU;
    mis.itemID = ID_TEST_EXIT;
    mis.itemData = reinterpret_cast<ULONG_PTR>(file->item(2));
    EXPECT_TRUE(::SendMessageA(hwnd, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)));
    EXPECT_GE(mis.itemHeight, static_cast<UINT>(::GetSystemMetrics(SM_CYMENU)));
    EXPECT_GT(mis.itemWidth, static_cast<UINT>(2 * file->iconWidth() + 1));
}
