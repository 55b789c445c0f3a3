#pragma once
// The reminder of the time granted, and the closing summary: two lines of
// time information and a visible countdown after which it closes itself.
// The countdown runs only once the dialog can have been seen: while Windows
// holds its balloon back, it waits until the user first comes to the dialog.
#include "app/BalloonFate.h"
#include "framework/CDialog.h"
#include "widgets/Label.h"
#include "widgets/ShadeButton.h"

#include <cstdint>
#include <string>

const int kUsageCountdownSec = 9;
const UINT_PTR kTimerCountdown = 1;
const UINT_PTR kTimerLatestClose = 2;

class UsageDialog : public CDialog {
public:
    explicit UsageDialog(CWnd* parent = nullptr);

    // The time lines as one text, for the notification that goes with the dialog.
    std::string Text() const;
    // What became of the balloon that goes with it; before or while it runs.
    void OnBalloonFate(BalloonFate fate);
    // Closes itself this long after it has opened at the latest, seen or not.
    void CloseWithin(UINT ms) { m_closeWithinMs = ms; }

    std::string m_usedText;
    std::string m_remainText;
    int32_t m_countdown = 0;
    ShadeButton m_btnOk;
    Label m_lblCountdown;  // 1002
    Label m_lblRemain;     // 1001
    Label m_lblUsed;       // 1000
    std::string m_msg;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnTimer(UINT_PTR id);
    void OnActivate(WPARAM state);

private:
    // Starts the countdown from the top, or stops it there, as CountdownRuns says.
    void RunOrHoldCountdown();
    void ShowCountdown();

    BalloonFate m_balloon = BalloonFate::None;
    bool m_activated = false;
    bool m_counting = false;
    UINT m_closeWithinMs = 0;
};
