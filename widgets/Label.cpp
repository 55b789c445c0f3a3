#include "widgets/Label.h"

#include "framework/Cp949.h"
#include "widgets/Contrast.h"
#include "widgets/Dpi.h"

#include <shellapi.h>

Label::Label()
    : m_textColour(::GetSysColor(COLOR_WINDOWTEXT)),
      m_backgroundBrush(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE))),
      m_blinkBrush(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE))),
      m_logFont(),
      m_dpi(DpiOfWindow(nullptr))
{
    // The stock font is made at the system DPI. Its character set is the
    // machine's: on a Windows set up in another language the Korean texts
    // would hang on font linking, so the label asks for Hangul, which the
    // stock font of a Korean Windows has already.
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof m_logFont, &m_logFont);
    m_logFont.lfCharSet = HANGUL_CHARSET;
    m_heightAt96 = ::MulDiv(m_logFont.lfHeight, static_cast<int>(kDefaultDpi), static_cast<int>(m_dpi));
    m_font.Reset(::CreateFontIndirectW(&m_logFont));
}

void Label::PreSubclassWindow()
{
    // Until now the label knew only the system DPI; its window may be on
    // another monitor.
    OnDpiChanged();
    m_highContrast = HighContrastOn();
}

void Label::OnContrastChange()
{
    m_highContrast = HighContrastOn();
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    m_backgroundBrush.Reset(::CreateSolidBrush(face));
    m_blinkBrush.Reset(::CreateSolidBrush(face));
    Repaint();
}

void Label::OnDpiChanged()
{
    m_dpi = DpiOfWindow(m_hWnd);
    ReconstructFont();
}

void Label::Repaint()
{
    if (m_hWnd)
        RedrawWindow(RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
}

void Label::ReconstructFont()
{
    m_logFont.lfHeight = ScaleToDpi(m_heightAt96, m_dpi);
    // Without a new font the label keeps the one it has.
    HFONT font = ::CreateFontIndirectW(&m_logFont);
    if (!font)
        return;
    // Also given as the control's own font, which a static control draws
    // with whatever its parent's WM_CTLCOLORSTATIC selected (Wine's does);
    // the old one goes once the control no longer holds it.
    if (m_hWnd)
        ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    m_font.Reset(font);
}

Label& Label::setText(const char* text)
{
    if (m_hWnd)
        ::SetWindowTextW(m_hWnd, Widen(text ? text : "").c_str());
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
    m_heightAt96 = -size;
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
        ::SetTextColor(dc, LabelLook(m_highContrast, m_textColour, SystemColours::Current()).text);
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
        ::SetWindowTextW(m_hWnd, wasVisible ? m_blinkText.c_str() : L"");
    else if (m_blinkKind == 2) {
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        ::UpdateWindow(m_hWnd);
    }
}

Label& Label::setLink(const char* target)
{
    m_link = Widen(target ? target : "");
    return *this;
}

void Label::OnLButtonDown()
{
    if (!m_link.empty())
        ::ShellExecuteW(nullptr, L"open", m_link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
    case kWmDpiChangedAfterParent:
        OnDpiChanged();
        Repaint();
        return Default();
    }
    if (IsContrastChange(msg, wParam)) {
        OnContrastChange();
        return Default();
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}
