#include "widgets/ShadeButton.h"

#include "widgets/Texture.h"

#include <cstdlib>

void ShadeButton::setShade(int type, BYTE granularity, BYTE highlight, BYTE coloring, COLORREF colour)
{
    m_shade = Shade{true, type, granularity, highlight, coloring, colour};
    buildTextures();
}

void ShadeButton::buildTextures()
{
    RECT rect{};
    if (m_hWnd)
        GetWindowRect(&rect);
    const TextureColours colours{::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNFACE),
                                 ::GetSysColor(COLOR_BTNHIGHLIGHT)};
    BuildTexture(m_normalTexture, m_shade.type, rect.right - rect.left, rect.bottom - rect.top, m_shade.granularity,
                 colours, m_shade.coloring, m_shade.colour, [] { return std::rand(); }, m_dpi);
    m_overTexture.copyFrom(m_normalTexture);
    m_overTexture.blendPalette(colours.highlight, m_shade.highlight);
}

void ShadeButton::OnDpiChanged()
{
    ImageButton::OnDpiChanged();
    if (m_shade.set)
        buildTextures();
}

// The palette runs through the system's colours: new colours, new textures.
void ShadeButton::OnContrastChange()
{
    ImageButton::OnContrastChange();
    if (m_shade.set)
        buildTextures();
}

LRESULT ShadeButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SIZE && m_shade.set) {
        const int width = LOWORD(lParam), height = HIWORD(lParam);
        if (width != m_normalTexture.width() || height != m_normalTexture.height())
            buildTextures();
    }
    return ImageButton::WindowProc(msg, wParam, lParam);
}

void ShadeButton::drawBackground(HDC dc, const RECT*)
{
    if (!m_mouseOver)
        m_normalTexture.draw(dc, 0, 0);
    else if (m_pressed)
        m_overTexture.draw(dc, 1, 1);
    else
        m_overTexture.draw(dc, 0, 0);
}

void ShadeButton::drawBorder(HDC dc, const RECT* rect)
{
    ImageButton::drawBorder(dc, rect);
}
