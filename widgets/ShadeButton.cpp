#include "widgets/ShadeButton.h"

#include "widgets/Texture.h"

#include <cstdlib>

void ShadeButton::setShade(int type, BYTE granularity, BYTE highlight, BYTE coloring, COLORREF colour)
{
    RECT rect{};
    if (m_hWnd)
        GetWindowRect(&rect);
    const TextureColours colours{::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNFACE),
                                 ::GetSysColor(COLOR_BTNHIGHLIGHT)};
    BuildTexture(m_normalTexture, type, rect.right - rect.left, rect.bottom - rect.top, granularity, colours,
                 coloring, colour, [] { return std::rand(); });
    m_overTexture.copyFrom(m_normalTexture);
    m_overTexture.blendPalette(colours.highlight, highlight);
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
