#include "widgets/Label.h"

#include <shellapi.h>

Label::Label()
    : m_textColour(::GetSysColor(COLOR_WINDOWTEXT)),
      m_backgroundBrush(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE))),
      m_blinkBrush(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE))),
      m_logFont()
{
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof m_logFont, &m_logFont);
    m_font.Reset(::CreateFontIndirectA(&m_logFont));
}

void Label::Repaint()
{
    if (m_hWnd)
        RedrawWindow(RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
}

void Label::ReconstructFont()
{
    // Without a new font the label keeps the one it has.
    if (HFONT font = ::CreateFontIndirectA(&m_logFont))
        m_font.Reset(font);
}

Label& Label::setText(const char* text)
{
    SetWindowText(text);
    return *this;
}

Label& Label::setTextColour(COLORREF colour)
{
    m_textColour = colour;
    Repaint();
    return *this;
}

Label& Label::setFontBold(BOOL bold)
{
    m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    ReconstructFont();
    Repaint();
    return *this;
}

Label& Label::setFontSize(int size)
{
    // A character height in logical units, deliberately not converted from points.
    m_logFont.lfHeight = -size;
    ReconstructFont();
    Repaint();
    return *this;
}

BOOL Label::OnChildNotify(UINT msg, WPARAM wParam, LPARAM, LRESULT* result)
{
    if (msg < WM_CTLCOLORMSGBOX || msg > WM_CTLCOLORSTATIC)
        return FALSE;
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (msg == WM_CTLCOLORSTATIC) {
        ::SelectObject(dc, m_font);
        ::SetTextColor(dc, m_textColour);
        ::SetBkMode(dc, TRANSPARENT);
    }
    HBRUSH brush = (m_blinkKind == 2 && m_blinkPhase == 0) ? m_blinkBrush.Get() : m_backgroundBrush.Get();
    *result = reinterpret_cast<LRESULT>(brush);
    return TRUE;
}

void Label::OnTimer(UINT_PTR)
{
    int wasVisible = m_blinkPhase;
    m_blinkPhase = !m_blinkPhase;
    if (m_blinkKind == 1)
        SetWindowText(wasVisible ? m_blinkText.c_str() : "");
    else if (m_blinkKind == 2) {
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        ::UpdateWindow(m_hWnd);
    }
}

Label& Label::setLink(const char* target)
{
    m_link = target ? target : "";
    return *this;
}

void Label::OnLButtonDown()
{
    if (!m_link.empty())
        ::ShellExecuteA(nullptr, "open", m_link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

BOOL Label::OnSetCursor()
{
    if (!m_cursor)
        return FALSE;
    ::SetCursor(m_cursor);
    return TRUE;
}

LRESULT Label::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_TIMER:
        OnTimer(wParam);
        return Default();
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        return Default();
    case WM_SETCURSOR:
        if (OnSetCursor())
            return TRUE;
        return Default();
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}
