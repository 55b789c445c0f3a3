#include "app/AboutDialog.h"

#include "app/LumaroApp.h"
#include "framework/Cp949.h"
#include "framework/Format.h"
#include "resource.h"

namespace {
int CALLBACK FoundFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether a font of that family with Hangul is installed; either of its
// names will do.
bool HangulFontInstalled(const std::wstring& face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = HANGUL_CHARSET;
    lstrcpynW(wanted.lfFaceName, face.c_str(), LF_FACESIZE);
    bool found = false;
    if (HDC screen = ::GetDC(nullptr)) {
        ::EnumFontFamiliesExW(screen, &wanted, FoundFont, reinterpret_cast<LPARAM>(&found), 0);
        ::ReleaseDC(nullptr, screen);
    }
    return found;
}

BOOL CALLBACK SetFontOf(HWND child, LPARAM font)
{
    ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
}
}

AboutDialog::AboutDialog() : CDialog(IDD_ABOUTBOX, nullptr) {}

BOOL AboutDialog::OnInitDialog()
{
    m_versionText = StrFormat("version %s", theApp.m_version.c_str());
    BOOL result = CDialog::OnInitDialog();
    UseKoreanUiFontWhereGulimIsMissing();
    return result;
}

void AboutDialog::UseKoreanUiFontWhereGulimIsMissing()
{
    if (HangulFontInstalled(Widen("굴림")) || HangulFontInstalled(L"Gulim"))
        return;
    // The template's size and weight, at the window's scale as the dialog
    // manager made them.
    LOGFONTW font{};
    HFONT current = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (!current || !::GetObjectW(current, sizeof font, &font))
        return;
    lstrcpynW(font.lfFaceName, Widen("맑은 고딕").c_str(), LF_FACESIZE);
    font.lfCharSet = HANGUL_CHARSET;
    m_fallbackFont.Reset(::CreateFontIndirectW(&font));
    if (m_fallbackFont.Get())
        ::EnumChildWindows(m_hWnd, SetFontOf, reinterpret_cast<LPARAM>(m_fallbackFont.Get()));
}

void AboutDialog::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_ABOUT_VERSION, m_versionText);
}
