#pragma once
// The conversation with the administration server as a state machine that
// knows no window, socket or file: events in, actions out. RunSessionActions
// carries the actions out; an action whose outcome the conversation depends
// on (a send, the capture file's deletion or reading) is always the last of
// its list, and its outcome comes back through the matching On... call,
// which returns the next list. The machine is the one owner of the session
// state, the session time and the attempts made, and of the timers it drives.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "session/ResultParser.h"
#include "session/SessionState.h"

enum class SessionActionKind {
    Log,           // number: level, text
    Send,          // text, whole; answer with OnSent
    DeleteCapture, // answer with OnCaptureDeleted
    ReadCapture,   // answer with OnCaptureLine for each line, then OnCaptureEnd
    ReadNewCapture, // number: offset; answer with OnCaptureBytes for what follows it, then OnNewCaptureEnd
    StartTimer,    // number: timer id, period: milliseconds
    StopTimer,     // number: timer id
    ShowReminder,  // number: seconds granted
    ShowWarning,   // number: seconds left, never negative
    ShowBox,       // text
    StartWorker,   // a new conversation
    Close,         // the monitor ends
};

struct SessionAction {
    SessionActionKind kind;
    int number = 0;
    int period = 0;
    std::string text;
};
using SessionActions = std::vector<SessionAction>;

// The window timers the conversation drives, each with its period.
struct SessionTimer {
    int id;
    int periodMs;
};
constexpr SessionTimer kReminderTimer = {3, 300};         // the reminder, once the time is known
constexpr SessionTimer kWarningTimer = {30, 10000};       // the warning below 10 minutes
constexpr SessionTimer kAdapterWatchTimer = {200, 3000};  // the VPN watch, from the first auth answer
constexpr SessionTimer kRetryTimer = {300, 1000};         // the pause before a new connection attempt
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

    // The window has found the server's address: the first conversation
    // and the reminder and warning checks begin.
    SessionActions OnStart();
    // A record of the running worker, by its type code.
    SessionActions OnEvent(int type);
    // The outcome of the action that ended the previous list.
    SessionActions OnSent(int result);
    SessionActions OnCaptureDeleted(bool deleted);
    SessionActions OnCaptureLine(const std::string& line);
    SessionActions OnCaptureEnd(bool opened);
    // While an answer arrives, each captured frame is a chance to go on at
    // once: the complete lines captured so far are scanned as they come, and
    // when they settle what the conversation needs (the user's link, the
    // session time), it goes on as after the answer's silence.
    void OnCaptureBytes(const std::string& bytes);
    SessionActions OnNewCaptureEnd(bool opened);
    // False once the answer being read needs no more lines.
    bool WantsCaptureLines() const
    {
        return m_step == Step::ScanSummary || (m_step == Step::ScanAuth && !m_auth.valueMissing);
    }

    // A tick of one of the timers above; elapsed = seconds since the monitor
    // started. A tick of a timer the machine is not running does nothing,
    // whoever posted it.
    SessionActions OnTimer(int id, int64_t elapsed);
    bool TimerRunning(int id) const { return m_timers.count(id) != 0; }
    // The adapter watch's verdict, asked for only while the watch runs.
    SessionActions OnAdapterWatch(bool adapterPresent);

    int m_state = kStateConnecting;
    int m_retryCount = 0;  // failed attempts so far, never reset
    int m_rTime = -1;      // session time granted, seconds; <= 0: not known

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
        ProbeSummary,
        ProbeAuth,
    };

    SessionActions Await(Step step, SessionActions actions);
    SessionActions Failed(int level, const std::string& text);
    SessionActions ConnectionLost(const std::string& logText);
    SessionActions SummaryRead(bool opened);
    SessionActions AuthRead(bool opened);
    // Reads what was captured since the last look, while an answer arrives.
    SessionActions Probe(SessionActions actions);
    SessionAction DeleteCapture();
    SessionAction StartTimer(SessionTimer timer);
    SessionAction StopTimer(SessionTimer timer);
    // The adapter watch starts with the first auth answer and then keeps
    // its period: a later answer must not push its next run away.
    void StartWatchOnce(SessionActions& actions);

    SessionSettings m_settings;
    Step m_step = Step::Idle;
    SummaryScan m_summary;
    AuthScan m_auth{-1, {}, false};
    std::set<int> m_timers;  // ids of the timers running for the conversation
    // The capture read so far while an answer arrives: bytes looked at, and
    // the line they leave unfinished.
    int m_captureSeen = 0;
    CaptureLineSplitter m_captureLines;
    SummaryScan m_probeSummary;
    AuthScan m_probeAuth{-1, {}, false};
};
