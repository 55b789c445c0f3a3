#pragma once
// A static text that draws itself with its own font and colour on the button
// face, through the WM_CTLCOLOR its parent reflects back to it; in high
// contrast in the system's colours instead. Its font is made for the DPI of
// its window, again whenever that window moves to a monitor of another scale.
#include "framework/CControls.h"
#include "framework/ScopedHandle.h"

#include <string>

class Label : public CStatic {
public:
    Label();

    // `text` is CP949, as all of the program's texts.
    Label& setText(const char* text);
    Label& setTextColour(COLORREF colour);
    Label& setFontBold(BOOL bold);
    // A character height in pixels at 100 % (96 DPI), deliberately not
    // converted from points; the label draws it larger at higher scales.
    Label& setFontSize(int size);
    // What a click on the label opens; none unless the program gives one.
    // Never the label's text, which any other program can change.
    Label& setLink(const char* target);

    COLORREF textColour() const { return m_textColour; }
    // The font as made for the label's DPI.
    const LOGFONTW& logFont() const { return m_logFont; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

    void OnTimer(UINT_PTR id);
    void OnLButtonDown();
    BOOL OnSetCursor();
    void OnDpiChanged();
    // New system colours or contrast setting, forwarded by the top-level window.
    void OnContrastChange();

    bool m_highContrast = false;

private:
    void ReconstructFont();
    void Repaint();

    COLORREF m_textColour;  // drawn unless high contrast is on
    ScopedGdiObj<HBRUSH> m_backgroundBrush;
    ScopedGdiObj<HBRUSH> m_blinkBrush;  // shown in the dark phase of a background blink
    LOGFONTW m_logFont;
    int m_heightAt96 = 0;  // lfHeight at 100 %
    UINT m_dpi;
    ScopedGdiObj<HFONT> m_font;
    std::wstring m_blinkText;
    int m_blinkPhase = 0;
    int m_blinkKind = 0;  // 0 none, 1 text blink, 2 background blink
    ScopedCursor m_cursor;
    std::wstring m_link;
};
