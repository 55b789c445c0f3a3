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
    ShowCountdown();

    m_lblUsed.setFontBold(1);
    m_lblUsed.setTextColour(kTimeColour);
    m_lblUsed.setFontSize(kFontSize);
    m_lblUsed.setText(m_usedText.c_str());

    m_lblRemain.setFontBold(1);
    m_lblRemain.setTextColour(kTimeColour);
    m_lblRemain.setFontSize(kFontSize);
    m_lblRemain.setText(m_remainText.c_str());

    RunOrHoldCountdown();
    if (m_closeWithinMs)
        SetTimer(kTimerLatestClose, m_closeWithinMs);
    // No focus now: it would activate the dialog. The dialog manager gives
    // it once the user comes to the dialog.
    return FALSE;
}

void UsageDialog::ShowCountdown()
{
    m_msg = StrFormat(kCountdownFormat, m_countdown);
    m_lblCountdown.setText(m_msg.c_str());
}

void UsageDialog::OnBalloonFate(BalloonFate fate)
{
    m_balloon = fate;
    RunOrHoldCountdown();
}

void UsageDialog::RunOrHoldCountdown()
{
    const bool run = CountdownRuns(m_balloon, m_activated);
    if (!m_hWnd || run == m_counting)
        return;
    m_counting = run;
    if (run) {
        SetTimer(kTimerCountdown, 1000);
        return;
    }
    // The balloon turned out unseen after the countdown had begun: it
    // starts again in full when the user comes.
    KillTimer(kTimerCountdown);
    m_countdown = kUsageCountdownSec;
    ShowCountdown();
}

void UsageDialog::OnActivate(WPARAM state)
{
    if (LOWORD(state) == WA_INACTIVE)
        return;
    m_activated = true;
    RunOrHoldCountdown();
}

void UsageDialog::OnTimer(UINT_PTR id)
{
    if (id == kTimerLatestClose) {
        OnOK();
        return;
    }
    if (id != kTimerCountdown)
        return;
    --m_countdown;
    if (m_countdown > 0)
        ShowCountdown();
    else
        OnOK();
}

LRESULT UsageDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_TIMER:
        OnTimer(wParam);
        return Default();
    case WM_ACTIVATE:
        OnActivate(wParam);
        return Default();
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
