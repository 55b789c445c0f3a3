#pragma once
// The conversation with the administration server as a state machine that
// knows no window, socket or file: events in, actions out. The main window
// executes the actions in order; an action whose outcome the conversation
// depends on (a send, the capture file's deletion or reading) is always the
// last of its list, and the window hands its outcome back through the
// matching On... call, which returns the next list.
#include <string>
#include <vector>

#include "session/ResultParser.h"
#include "session/SessionState.h"

enum class SessionActionKind {
    Log,             // level, text
    Send,            // text, whole; answer with OnSent
    SetState,        // number: the new session state
    SetSessionTime,  // number: seconds granted
    DeleteCapture,   // answer with OnCaptureDeleted
    ReadCapture,     // answer with OnCaptureLine for each line, then OnCaptureEnd
    StartTimer,      // number: timer id, period: milliseconds
    StopTimer,       // number: timer id
    ShowReminder,    // number: seconds granted
    ShowWarning,     // number: seconds left, never negative
    ShowBox,         // text
    Retry,           // a new worker after the retry pause
    Close,           // the monitor ends
};

struct SessionAction {
    SessionActionKind kind;
    int number = 0;
    int period = 0;
    std::string text;
};
using SessionActions = std::vector<SessionAction>;

// The main window's timers that the conversation drives.
enum SessionTimer {
    kTimerReminder = 3,
    kTimerWarning = 30,
    kTimerAdapterWatch = 200,
};
const int kAdapterWatchPeriodMs = 3000;
const int kWarningThresholdSec = 600;
const int kMaxRetries = 3;

struct SessionSettings {
    std::string user;        // the user's name followed by one TAB
    std::string adminId;
    std::string adminPw;
    std::string resultPath;  // only named in log lines
};

class SessionStateMachine {
public:
    void Configure(SessionSettings settings) { m_settings = std::move(settings); }

    // A record of the running worker, by its type code.
    SessionActions OnEvent(int type);
    // The outcome of the action that ended the previous list.
    SessionActions OnSent(int result);
    SessionActions OnCaptureDeleted(bool deleted);
    SessionActions OnCaptureLine(const std::string& line);
    SessionActions OnCaptureEnd(bool opened);
    // False once the answer being read needs no more lines.
    bool WantsCaptureLines() const
    {
        return m_step == Step::ScanSummary || (m_step == Step::ScanAuth && !m_auth.valueMissing);
    }

    // Timers 3 and 30; elapsed = seconds since the monitor started.
    SessionActions OnTimer(int id, int elapsed);
    SessionActions OnAdapterWatch(bool adapterPresent);

    int m_state = kStateConnecting;
    int m_retryCount = 0;
    int m_rTime = -1;  // <= 0: not known

private:
    // Where a handling waits for the outcome of its last action.
    enum class Step {
        Idle,
        SendId,
        SendPw,
        DeleteBeforeSummary,
        SendSummary,
        ScanSummary,
        DeleteBeforeLink,
        SendLink,
        SendShowAuth,
        ScanAuth,
        SendExit,
    };

    SessionActions Await(Step step, SessionActions actions);
    SessionActions Failed(int level, const std::string& text);
    SessionActions ConnectionLost(const std::string& logText);
    SessionActions SummaryRead(bool opened);
    SessionActions AuthRead(bool opened);
    // The adapter watch starts with the first auth answer and then keeps
    // its period: a later answer must not push its next run away.
    void StartWatchOnce(SessionActions& actions);

    SessionSettings m_settings;
    Step m_step = Step::Idle;
    SummaryScan m_summary;
    AuthScan m_auth{-1, {}, false};
    bool m_watchStarted = false;
};
