#pragma once
// A static text that draws itself with its own font and colour on the button
// face, through the WM_CTLCOLOR its parent reflects back to it.
#include "framework/CControls.h"
#include "framework/ScopedHandle.h"

#include <string>

class Label : public CStatic {
public:
    Label();

    Label& setText(const char* text);
    Label& setTextColour(COLORREF colour);
    Label& setFontBold(BOOL bold);
    Label& setFontSize(int size);
    // What a click on the label opens; none unless the program gives one.
    // Never the label's text, which any other program can change.
    Label& setLink(const char* target);

    COLORREF textColour() const { return m_textColour; }
    const LOGFONTA& logFont() const { return m_logFont; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnTimer(UINT_PTR id);
    void OnLButtonDown();
    BOOL OnSetCursor();

private:
    void ReconstructFont();
    void Repaint();

    COLORREF m_textColour;
    ScopedGdiObj<HBRUSH> m_backgroundBrush;
    ScopedGdiObj<HBRUSH> m_blinkBrush;  // shown in the dark phase of a background blink
    LOGFONTA m_logFont;
    ScopedGdiObj<HFONT> m_font;
    std::string m_blinkText;
    int m_blinkPhase = 0;
    int m_blinkKind = 0;  // 0 none, 1 text blink, 2 background blink
    ScopedCursor m_cursor;
    std::string m_link;
};
