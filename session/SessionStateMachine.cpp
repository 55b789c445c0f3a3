#include "session/SessionStateMachine.h"

#include "framework/Format.h"
#include "log/LogLevel.h"

namespace {

const char* ReplaceOutcome(CaptureReplace how)
{
    switch (how) {
    case CaptureReplace::Deleted: return "deleted";
    case CaptureReplace::EmptiedInPlace: return "emptied in place, through a handle shared with its holder";
    case CaptureReplace::Kept: return "neither deleted nor emptied; no command is sent";
    }
    return "";
}

}  // namespace

void SessionStateMachine::StartTimer(SessionTimer timer)
{
    m_timers.insert(timer.id);
    m_screen.StartTimer(timer.id, timer.periodMs);
}

void SessionStateMachine::StopTimer(SessionTimer timer)
{
    if (m_timers.erase(timer.id))
        m_screen.StopTimer(timer.id);
}

void SessionStateMachine::OnStart()
{
    m_transport.Connect();
    StartTimer(kWarningTimer);
    StartTimer(kReminderTimer);
    // The watch runs whatever the conversation does: a monitor whose server
    // never answers must still end with its VPN.
    StartTimer(kAdapterWatchTimer);
}

// Events 12 and 23: the conversation is over; at most three more attempts in
// the monitor's whole life.
void SessionStateMachine::ConnectionLost(const std::string& logText)
{
    int previous = m_retryCount;
    m_retryCount = previous + 1;
    m_state = kStateReconnecting;
    StopTimer(kAnswerTimer);
    StopTimer(kFarewellTimer);
    m_screen.Log(kLogError, logText);
    // A timer rather than a sleep: the window keeps answering through the
    // pause, and the old worker ends meanwhile.
    if (previous < kMaxRetries)
        StartTimer(kRetryTimer);
}

void SessionStateMachine::OnRecord(uint32_t type, std::string_view captured)
{
    if (std::optional<SessionEvent> event = SessionEventOfType(type))
        OnEvent(*event, captured);
    else
        m_screen.ShowBox(StrFormat("OnCopyData() command error. type=%d", static_cast<int>(type)));
}

void SessionStateMachine::OnEvent(SessionEvent event, std::string_view captured)
{
    switch (event) {
    case SessionEvent::Connected:
        m_usernameAnswers = m_passwordAnswers = 0;
        m_screen.Log(kLogFlow, "connect succ");
        return;
    case SessionEvent::SocketCreateFailed:
        m_screen.Log(kLogError, "socket create failed)");
        return;
    case SessionEvent::ConnectFailed:
        ConnectionLost(StrFormat("connect failed. retry_count=%d", m_retryCount));
        return;
    case SessionEvent::UsernamePrompt:
    case SessionEvent::PasswordPrompt:
        PromptAsked(event);
        return;
    case SessionEvent::LoginAccepted:
        LoginAccepted();
        return;
    case SessionEvent::AnswerCaptured:
        AnswerArriving(captured);
        return;
    case SessionEvent::SummaryComplete:
        SummaryAtSilence();
        return;
    case SessionEvent::AuthComplete:
        AuthAtSilence();
        return;
    case SessionEvent::Closed:
        StopTimer(kAnswerTimer);
        StopTimer(kFarewellTimer);
        m_screen.Log(kLogFlow, "close event");
        return;
    case SessionEvent::ReceiveFailed:
        StopTimer(kAnswerTimer);
        StopTimer(kFarewellTimer);
        m_screen.Log(kLogFlow, "recv error");
        return;
    case SessionEvent::UnknownOutcome:
        m_screen.ShowBox("OnCopyData:recy_type error");
        return;
    case SessionEvent::CaptureOpenFailed:
        ConnectionLost(StrFormat("OnCopyData:file open failed. retry=%d", m_retryCount));
        return;
    case SessionEvent::NoticeTimeout:
        m_screen.Log(kLogFlow, "recv Time-out");
        return;
    case SessionEvent::NoticeBody:
        m_screen.ShowBox(StrFormat("OnCopyData() command error. type=%d", TypeOf(event)));
        return;
    }
}

void SessionStateMachine::PromptAsked(SessionEvent prompt)
{
    // Sent every time the prompt comes, up to a limit: a console that asks
    // again gets it again, one that never stops asking ends the login.
    const bool id = prompt == SessionEvent::UsernamePrompt;
    int& answers = id ? m_usernameAnswers : m_passwordAnswers;
    if (answers == kMaxPromptAnswers) {
        m_screen.Log(kLogError, StrFormat("login failed: %s asked for more than %d times on this connection; "
                                          "the connection ends",
                                          id ? "Username:" : "Password:", kMaxPromptAnswers));
        m_transport.Hangup();
        return;
    }
    ++answers;
    int sent = m_transport.Send((id ? m_settings.adminId : m_settings.adminPw) + "\n");
    if (sent > 0)
        m_screen.Log(kLogFlow, id ? "ID send succ" : "PW send succ");
    else
        m_screen.Log(kLogError, StrFormat(id ? "ID send failed, ret=%d" : "PW send failed, ret=%d", sent));
}

void SessionStateMachine::LoginAccepted()
{
    m_screen.Log(kLogFlow, "Login OK !!!");
    m_state = kStateLoggedIn;
    // The summary must be read from an empty capture.
    if (!BeginAnswer(Answer::Summary))
        return;
    int sent = m_transport.Send("show summary\n");
    if (sent <= 0) {
        m_screen.Log(kLogError, StrFormat("cmd[show summary] send failed, ret=%d", sent));
        return;
    }
    m_screen.Log(kLogFlow, "cmd[show summary] send succ");
    m_state = kStateSummaryRequested;
}

bool SessionStateMachine::BeginAnswer(Answer answer)
{
    const CaptureReplaced replaced = m_transport.ReplaceCapture();
    // Another program held the file (an on-access scanner, an indexer, a
    // viewer): said once, with what was done about it.
    if (replaced.heldError != 0 || replaced.how != CaptureReplace::Deleted)
        m_screen.Log(kLogError, StrFormat("result file in use, path=[%s], rc=%lu, %u ms: %s",
                                          m_settings.resultPath.c_str(), static_cast<unsigned long>(replaced.heldError),
                                          replaced.waitedMs, ReplaceOutcome(replaced.how)));
    // A capture that could not be emptied has been reported to the user;
    // the handling of this event ends there.
    if (replaced.how == CaptureReplace::Kept) {
        m_screen.ShowFileError(replaced.path, replaced.heldError);
        return false;
    }
    m_answer = answer;
    m_answerLines = CaptureLineSplitter();
    m_summary = SummaryScan();
    m_auth = AuthScan{m_rTime, {}, false};
    return true;
}

int SessionStateMachine::ReadAnswer(std::string_view captured)
{
    int lines = 0;
    m_answerLines.Feed(captured.data(), captured.size(), [this, &lines](const std::string& line) {
        ++lines;
        if (m_answer == Answer::Summary)
            ScanSummaryLine(m_summary, line, m_settings.user);
        else if (m_answer == Answer::Auth && !m_auth.valueMissing)
            ScanAuthLine(m_auth, line);
    });
    return lines;
}

bool SessionStateMachine::AnswerClosedByPrompt() const
{
    return IsConsolePrompt(m_answerLines.Unfinished());
}

void SessionStateMachine::AnswerArriving(std::string_view captured)
{
    bool began = false;
    if (m_state == kStateSummaryRequested) {
        m_screen.Log(kLogFlow, "summary정보 수신 중 ...");
        m_state = kStateSummaryArriving;
        began = true;
    } else if (m_state == kStateAuthRequested) {
        m_screen.Log(kLogFlow, "auth정보 수신 중 ...");
        m_state = kStateAuthArriving;
        began = true;
    }
    if (m_state != kStateSummaryArriving && m_state != kStateAuthArriving)
        return;
    // Each frame is read as it comes. The limit on an answer's time counts
    // from its first frame and again from each new line: a long answer on a
    // slow link goes on, one that says nothing new does not.
    if (ReadAnswer(captured) > 0 || began)
        StartTimer(kAnswerTimer);
    // Once the console's prompt follows what the conversation needs, the
    // answer is whole and there is no silence to wait for. A failure waits
    // for the silence: more may still come.
    if (!AnswerClosedByPrompt())
        return;
    if (m_state == kStateSummaryArriving && IsLinkName(m_summary.link))
        DecideSummary(SummaryScan(m_summary));
    else if (m_state == kStateAuthArriving && m_auth.valueFound && !m_auth.valueMissing && m_auth.rTime != -1)
        DecideAuth(AuthScan(m_auth));
}

void SessionStateMachine::SummaryAtSilence()
{
    StopTimer(kAnswerTimer);
    // The silence ends the answer: its unfinished line is its last, as
    // fgets gives it at the end of the file. More may still extend it.
    SummaryScan scan = m_summary;
    std::string last = m_answerLines.Unfinished();
    if (!last.empty())
        ScanSummaryLine(scan, last.c_str(), m_settings.user);
    DecideSummary(scan);
}

void SessionStateMachine::AuthAtSilence()
{
    StopTimer(kAnswerTimer);
    AuthScan scan = m_auth;
    std::string last = m_answerLines.Unfinished();
    if (!last.empty() && !scan.valueMissing)
        ScanAuthLine(scan, last.c_str());
    DecideAuth(scan);
}

void SessionStateMachine::WriteLog(const std::vector<ParseLogLine>& lines, const char* matchLine)
{
    // The lines of the last match are what the decision rests on: the
    // monitor's own, however much the server said before them.
    size_t lastMatch = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].text == matchLine)
            lastMatch = i;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i < lastMatch)
            m_transport.LogTraffic(lines[i].level, lines[i].text);
        else
            m_screen.Log(lines[i].level, lines[i].text);
    }
}

void SessionStateMachine::DecideSummary(const SummaryScan& scan)
{
    WriteLog(scan.log, kSummaryMatchLine);
    if (scan.link.empty()) {
        m_screen.Log(kLogError, StrFormat("해당 user[%s]의 Link 정보를 찾을 수 없음", m_settings.user.c_str()));
        return;
    }
    // The link goes back to the console as a command: only a name it can
    // have given, never text that would make a second command.
    if (!IsLinkName(scan.link)) {
        m_screen.Log(kLogError, StrFormat("Link[%s] is not a link name", scan.link.c_str()));
        return;
    }
    const std::string link = scan.link;
    StopTimer(kAnswerTimer);
    // The capture is to hold only the next answer.
    if (!BeginAnswer(Answer::Auth))
        return;
    int sent = m_transport.Send("link " + link + "\n");
    if (sent <= 0) {
        m_screen.Log(kLogError, StrFormat("send[link] failed, ret=%d", sent));
        return;
    }
    m_screen.Log(kLogFlow, StrFormat("Link [%s] succ", link.c_str()));
    // Sent straight after the link command, whose answer (its echo and the
    // prompt) lands in front of the auth answer.
    sent = m_transport.Send("show auth\n");
    if (sent <= 0) {
        m_screen.Log(kLogError, StrFormat("send[show auth] failed, ret=%d", sent));
        return;
    }
    m_screen.Log(kLogFlow, "cmd[show auth] send succ");
    m_state = kStateAuthRequested;
}

void SessionStateMachine::DecideAuth(const AuthScan& scan)
{
    WriteLog(scan.log, kAuthMatchLine);
    m_rTime = scan.rTime;
    // A line without a value has been logged; the next silence reads the
    // answer again.
    if (scan.valueMissing)
        return;
    // The test is on the session time itself, so a value from an earlier
    // answer of this run counts.
    if (m_rTime == -1) {
        m_screen.Log(kLogError, "잔여시간 파싱2 실패");
        return;
    }
    StopTimer(kAnswerTimer);
    m_state = kStateTimeKnown;
    // Nothing depends on the farewell arriving; a console that keeps the
    // connection open after it is left a while, then hung up on.
    m_transport.Send("exit\n");
    StartTimer(kFarewellTimer);
}

void SessionStateMachine::AnswerStreamingTooLong()
{
    // An answer that brings no new line and never ends with the prompt or
    // a pause would be read for ever: it is taken as failed, once, and the
    // connection ends.
    m_screen.Log(kLogError, StrFormat("answer still arriving after %d s: taken as failed", kAnswerTimer.periodMs / 1000));
    if (m_state == kStateSummaryArriving)
        m_screen.Log(kLogError, StrFormat("해당 user[%s]의 Link 정보를 찾을 수 없음", m_settings.user.c_str()));
    else
        m_screen.Log(kLogError, "잔여시간 파싱2 실패");
    m_transport.Hangup();
}

void SessionStateMachine::OnTimer(int id, int64_t elapsed)
{
    if (!TimerRunning(id))
        return;
    if (id == kRetryTimer.id) {
        StopTimer(kRetryTimer);
        m_transport.Connect();
        return;
    }
    if (id == kAnswerTimer.id) {
        StopTimer(kAnswerTimer);
        if (m_state == kStateSummaryArriving || m_state == kStateAuthArriving)
            AnswerStreamingTooLong();
        return;
    }
    if (id == kFarewellTimer.id) {
        StopTimer(kFarewellTimer);
        m_screen.Log(kLogWarn, StrFormat("connection still open %d s after exit: it ends", kFarewellTimer.periodMs / 1000));
        m_transport.Hangup();
        return;
    }
    if (m_rTime <= 0)
        return;
    if (id == kReminderTimer.id) {
        StopTimer(kReminderTimer);
        m_screen.ShowReminder(m_rTime);
        return;
    }
    if (id == kWarningTimer.id && elapsed > 0 && m_rTime - elapsed < kWarningThresholdSec) {
        // A time already run out is shown as none left, never as minus minutes.
        int64_t left = m_rTime - elapsed;
        StopTimer(kWarningTimer);
        m_screen.ShowWarning(left > 0 ? static_cast<int>(left) : 0);
    }
}

void SessionStateMachine::OnAdapterWatch(bool adapterPresent)
{
    if (!adapterPresent && TimerRunning(kAdapterWatchTimer.id))
        m_screen.Close();
}
