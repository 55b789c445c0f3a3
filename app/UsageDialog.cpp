#include "app/UsageDialog.h"

#include "framework/Format.h"
#include "resource.h"

namespace {
const COLORREF kCountdownColour = RGB(128, 128, 128);
const COLORREF kTimeColour = RGB(0, 128, 0);
const int kFontSize = 12;
const char kCountdownFormat[] = "%d초 후에 메세지 창이 자동 종료 됩니다";
}

UsageDialog::UsageDialog(CWnd* parent) : CDialog(IDD_USAGE_DIALOG, parent)
{
    m_showWithoutActivation = true;
}

std::string UsageDialog::Text() const
{
    return m_usedText.empty() ? m_remainText : m_usedText + "\n" + m_remainText;
}

void UsageDialog::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDOK, m_btnOk);
    DDX_Control(dx, IDC_COUNTDOWN_TEXT, m_lblCountdown);
    DDX_Control(dx, IDC_REMAIN_TEXT, m_lblRemain);
    DDX_Control(dx, IDC_USED_TEXT, m_lblUsed);
}

BOOL UsageDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_countdown = kUsageCountdownSec;

    m_btnOk.setShade(6, 8, 10, 0, 0);
    m_btnOk.setIcon(IDI_OK, -2);

    m_lblCountdown.setFontBold(1);
    m_lblCountdown.setTextColour(kCountdownColour);
    m_lblCountdown.setFontSize(kFontSize);
    m_msg = StrFormat(kCountdownFormat, m_countdown);
    m_lblCountdown.setText(m_msg.c_str());

    m_lblUsed.setFontBold(1);
    m_lblUsed.setTextColour(kTimeColour);
    m_lblUsed.setFontSize(kFontSize);
    m_lblUsed.setText(m_usedText.c_str());

    m_lblRemain.setFontBold(1);
    m_lblRemain.setTextColour(kTimeColour);
    m_lblRemain.setFontSize(kFontSize);
    m_lblRemain.setText(m_remainText.c_str());

    SetTimer(kTimerCountdown, 1000);
    // No focus now: it would activate the dialog. The dialog manager gives
    // it once the user comes to the dialog.
    return FALSE;
}

void UsageDialog::OnTimer(UINT_PTR id)
{
    if (id != kTimerCountdown)
        return;
    --m_countdown;
    if (m_countdown > 0) {
        m_msg = StrFormat(kCountdownFormat, m_countdown);
        m_lblCountdown.setText(m_msg.c_str());
    } else {
        OnOK();
    }
}

LRESULT UsageDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_TIMER:
        OnTimer(wParam);
        return Default();
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
