#pragma once
// An ImageButton on a generated texture instead of a flat fill: a pattern
// over a palette running from the shadow colour through the button face to
// the highlight, and a copy tinted toward the highlight shown under the mouse.
// The texture is made for the button's size in pixels, again whenever the
// button is resized, as the dialog manager does at a change of DPI, and for
// the system's colours, again whenever they change. High contrast shows no
// texture (see ImageButton).
#include "widgets/Dib.h"
#include "widgets/ImageButton.h"

class ShadeButton : public ImageButton {
public:
    // type 1..8 selects a pattern (see TextureType), anything else is noise;
    // highlight is the percentage of highlight colour in the hover texture;
    // coloring the percentage of `colour` in both.
    void setShade(int type, BYTE granularity, BYTE highlight, BYTE coloring, COLORREF colour);

    const Dib& normalTexture() const { return m_normalTexture; }
    const Dib& overTexture() const { return m_overTexture; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void drawBackground(HDC dc, const RECT* rect) override;
    void drawBorder(HDC dc, const RECT* rect) override;
    void OnDpiChanged() override;
    void OnContrastChange() override;

    void buildTextures();

    struct Shade {
        bool set = false;
        int type = 0;
        BYTE granularity = 0;
        BYTE highlight = 0;
        BYTE coloring = 0;
        COLORREF colour = 0;
    };
    Shade m_shade;
    Dib m_normalTexture;
    Dib m_overTexture;
};
