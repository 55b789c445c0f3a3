#include "widgets/ShadeButton.h"

#include "WidgetsTestWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
class ProbeShade : public ShadeButton {
public:
    using ShadeButton::m_highContrast;
    using ShadeButton::m_mouseOver;
};

const int kWidth = 80, kHeight = 24;

// What the button shows, painted through the same path as on screen: the
// button asks its parent to draw it, and the parent reflects the request.
std::vector<COLORREF> Render(HWND button)
{
    TestCanvas canvas(kWidth, kHeight, RGB(1, 2, 3));
    ::SendMessageA(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels.push_back(canvas.pixel(x, y));
    return pixels;
}

COLORREF At(const std::vector<COLORREF>& pixels, int x, int y)
{
    return pixels[static_cast<size_t>(y) * kWidth + x];
}

COLORREF TextureColour(const Dib& dib, int x, int y)
{
    return PaletteEntry(dib, dib.bits()[(dib.height() - 1 - y) * dib.rowBytes() + x]);
}
}

class ShadeButtonWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestParentWindow* parent = SharedTestParent();
        ASSERT_NE(parent, nullptr)
            << "no window could be created: the widget tests need a display (run them under xvfb-run)";
        // No caption and no icon: everything inside the border is texture.
        m_hwnd = parent->addButton(1, "", BS_DEFPUSHBUTTON, RECT{10, 10, 10 + kWidth, 10 + kHeight});
        ASSERT_NE(m_hwnd, nullptr);
        ASSERT_TRUE(m_button.SubclassWindow(m_hwnd));
        m_button.setShade(6, 8, 10, 0, 0);
    }
    void TearDown() override
    {
        if (m_hwnd)
            ::DestroyWindow(m_hwnd);
    }
    ProbeShade m_button;
    HWND m_hwnd = nullptr;
};

TEST_F(ShadeButtonWindow, TexturesTakeTheButtonSizeAndTheSystemColours)
{
    const Dib& normal = m_button.normalTexture();
    const Dib& over = m_button.overTexture();
    ASSERT_EQ(normal.width(), kWidth);
    ASSERT_EQ(normal.height(), kHeight);
    EXPECT_EQ(normal.bitCount(), 8);
    EXPECT_EQ(over.width(), kWidth);
    EXPECT_EQ(PaletteEntry(normal, 0), ::GetSysColor(COLOR_BTNSHADOW)) << "coloring 0 leaves the shadow end";
    EXPECT_EQ(PaletteEntry(normal, 255), ::GetSysColor(COLOR_BTNHIGHLIGHT)) << "coloring 0 leaves the highlight end";
    // The hover palette is the rest palette as a Dib blends it 10 % toward the highlight colour.
    Dib blended;
    ASSERT_NE(blended.copyFrom(normal), nullptr);
    blended.blendPalette(::GetSysColor(COLOR_BTNHIGHLIGHT), 10);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(PaletteEntry(over, i), PaletteEntry(blended, i))
            << "hover entry " << i << " must be 90 % rest and 10 % highlight";
    EXPECT_EQ(0, memcmp(normal.bits(), over.bits(), kHeight * normal.rowBytes()))
        << "both textures share their pixels";
}

TEST_F(ShadeButtonWindow, HoverShowsTheHighlightBlendPressingMovesItOnePixelHighContrastAFramedFace)
{
    std::vector<COLORREF> rest = Render(m_hwnd);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(At(rest, x, y), TextureColour(m_button.normalTexture(), x, y))
                << "at rest pixel (" << x << "," << y << ") is " << ColourText(At(rest, x, y));

    // A real mouse move over the button, as the hover tracking sees it.
    ::SendMessageA(m_hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(m_button.m_mouseOver) << "the mouse move did not start the hover";
    std::vector<COLORREF> hover = Render(m_hwnd);
    // The outermost pixels carry the hover border.
    for (int y = 1; y < kHeight - 1; ++y)
        for (int x = 1; x < kWidth - 1; ++x)
            ASSERT_EQ(At(hover, x, y), TextureColour(m_button.overTexture(), x, y))
                << "hovered pixel (" << x << "," << y << ") is " << ColourText(At(hover, x, y));

    ::SendMessageA(m_hwnd, BM_SETSTATE, TRUE, 0);
    std::vector<COLORREF> pressed = Render(m_hwnd);
    for (int y = 1; y < kHeight - 2; ++y)
        for (int x = 1; x < kWidth - 2; ++x)
            ASSERT_EQ(At(pressed, x + 1, y + 1), At(hover, x, y))
                << "pressed pixel (" << x + 1 << "," << y + 1 << ") must show hovered pixel (" << x << "," << y
                << ")";
    EXPECT_EQ(At(pressed, 0, 0), ::GetSysColor(COLOR_BTNSHADOW)) << "a pressed button has a sunken border";

    m_button.m_highContrast = true;  // no texture, no hover look: the face in a frame
    std::vector<COLORREF> contrast = Render(m_hwnd);
    EXPECT_EQ(ColourText(At(contrast, 0, 0)), ColourText(::GetSysColor(COLOR_BTNTEXT))) << "high contrast: frame";
    EXPECT_EQ(ColourText(At(contrast, 9, 9)), ColourText(::GetSysColor(COLOR_BTNFACE))) << "high contrast: face";
    ::SendMessageA(::GetParent(m_hwnd), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_FALSE(m_button.m_highContrast) << "the top-level window forwards the setting, off in the test prefix";
}

TEST_F(ShadeButtonWindow, PressedWithoutTheMouseShowsTheRestingTexture)
{
    std::vector<COLORREF> rest = Render(m_hwnd);
    ::SendMessageA(m_hwnd, BM_SETSTATE, TRUE, 0);
    std::vector<COLORREF> pressed = Render(m_hwnd);
    for (int y = 1; y < kHeight - 1; ++y)
        for (int x = 1; x < kWidth - 1; ++x)
            ASSERT_EQ(At(pressed, x, y), At(rest, x, y)) << "pixel (" << x << "," << y << ")";
}
