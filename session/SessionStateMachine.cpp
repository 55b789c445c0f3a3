#include "session/SessionStateMachine.h"

#include "framework/Format.h"
#include "log/LogLevel.h"
#include "session/SessionEvents.h"

void SessionStateMachine::StartTimer(SessionTimer timer)
{
    m_timers.insert(timer.id);
    m_effects.StartTimer(timer.id, timer.periodMs);
}

void SessionStateMachine::StopTimer(SessionTimer timer)
{
    if (m_timers.erase(timer.id))
        m_effects.StopTimer(timer.id);
}

void SessionStateMachine::OnStart()
{
    m_effects.StartWorker();
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
    m_effects.Log(kLogError, logText);
    // A timer rather than a sleep: the window keeps answering through the
    // pause, and the old worker ends meanwhile.
    if (previous < kMaxRetries)
        StartTimer(kRetryTimer);
}

void SessionStateMachine::OnEvent(int type)
{
    switch (type) {
    case kEvtConnected:
        m_effects.Log(kLogFlow, "connect succ");
        return;
    case kEvtSocketCreateFailed:
        m_effects.Log(kLogError, "socket create failed)");
        return;
    case kEvtConnectFailed:
        ConnectionLost(StrFormat("connect failed. retry_count=%d", m_retryCount));
        return;
    case kEvtUsernamePrompt:
    case kEvtPasswordPrompt: {
        // Sent every time the prompt comes: a server that asks again gets it again.
        bool id = type == kEvtUsernamePrompt;
        int sent = m_effects.Send((id ? m_settings.adminId : m_settings.adminPw) + "\n");
        if (sent > 0)
            m_effects.Log(kLogFlow, id ? "ID send succ" : "PW send succ");
        else
            m_effects.Log(kLogError, StrFormat(id ? "ID send failed, ret=%d" : "PW send failed, ret=%d", sent));
        return;
    }
    case kEvtLoginAccepted:
        LoginAccepted();
        return;
    case kEvtAnswerCaptured:
        AnswerArriving();
        return;
    case kEvtSummaryComplete:
        SummaryAtSilence();
        return;
    case kEvtAuthComplete:
        AuthAtSilence();
        return;
    case kEvtClosed:
        StopTimer(kAnswerTimer);
        m_effects.Log(kLogFlow, "close event");
        return;
    case kEvtReceiveFailed:
        StopTimer(kAnswerTimer);
        m_effects.Log(kLogFlow, "recv error");
        return;
    case kEvtUnknownOutcome:
        m_effects.ShowBox("OnCopyData:recy_type error");
        return;
    case kEvtCaptureOpenFailed:
        ConnectionLost(StrFormat("OnCopyData:file open failed. retry=%d", m_retryCount));
        return;
    case kEvtNoticeTimeout:
        m_effects.Log(kLogFlow, "recv Time-out");
        return;
    default:
        m_effects.ShowBox(StrFormat("OnCopyData() command error. type=%d", type));
        return;
    }
}

void SessionStateMachine::LoginAccepted()
{
    m_effects.Log(kLogFlow, "Login OK !!!");
    m_state = kStateLoggedIn;
    // The summary must be read from an empty capture.
    if (!BeginAnswer(Answer::Summary))
        return;
    int sent = m_effects.Send("show summary\n");
    if (sent <= 0) {
        m_effects.Log(kLogError, StrFormat("cmd[show summary] send failed, ret=%d", sent));
        return;
    }
    m_effects.Log(kLogFlow, "cmd[show summary] send succ");
    m_state = kStateSummaryRequested;
}

bool SessionStateMachine::BeginAnswer(Answer answer)
{
    // A file that cannot be deleted has been reported to the user; the
    // handling of this answer ends there.
    if (!m_effects.DeleteCapture())
        return false;
    m_answer = answer;
    m_answerRead = 0;
    m_answerLines = CaptureLineSplitter();
    m_summary = SummaryScan();
    m_auth = AuthScan{m_rTime, {}, false};
    return true;
}

bool SessionStateMachine::ReadAnswer()
{
    return m_effects.ReadCaptureFrom(m_answerRead, [this](const char* bytes, size_t length) {
        m_answerRead += static_cast<int64_t>(length);
        m_answerLines.Feed(bytes, length, [this](const std::string& line) {
            if (m_answer == Answer::Summary)
                ScanSummaryLine(m_summary, line, m_settings.user);
            else if (m_answer == Answer::Auth && !m_auth.valueMissing)
                ScanAuthLine(m_auth, line);
        });
    });
}

bool SessionStateMachine::AnswerClosedByPrompt() const
{
    return IsConsolePrompt(m_answerLines.Unfinished());
}

void SessionStateMachine::AnswerArriving()
{
    if (m_state == kStateSummaryRequested) {
        m_effects.Log(kLogFlow, "summary정보 수신 중 ...");
        m_state = kStateSummaryArriving;
        StartTimer(kAnswerTimer);
    } else if (m_state == kStateAuthRequested) {
        m_effects.Log(kLogFlow, "auth정보 수신 중 ...");
        m_state = kStateAuthArriving;
        StartTimer(kAnswerTimer);
    }
    if (m_state != kStateSummaryArriving && m_state != kStateAuthArriving)
        return;
    // Each frame is read as it comes; once the console's prompt follows what
    // the conversation needs, the answer is whole and there is no silence to
    // wait for. A failure waits for the silence: more may still come.
    if (!ReadAnswer() || !AnswerClosedByPrompt())
        return;
    if (m_state == kStateSummaryArriving && IsLinkName(m_summary.link))
        DecideSummary(SummaryScan(m_summary));
    else if (m_state == kStateAuthArriving && m_auth.valueFound && !m_auth.valueMissing && m_auth.rTime != -1)
        DecideAuth(AuthScan(m_auth));
}

void SessionStateMachine::SummaryAtSilence()
{
    StopTimer(kAnswerTimer);
    if (!ReadAnswer()) {
        m_effects.Log(kLogError, StrFormat("file[#show summary result] open failed, path[%s]",
                                           m_settings.resultPath.c_str()));
        return;
    }
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
    if (!ReadAnswer()) {
        m_effects.Log(kLogError, StrFormat("file[#show auth result] open failed, path[%s]",
                                           m_settings.resultPath.c_str()));
        return;
    }
    AuthScan scan = m_auth;
    std::string last = m_answerLines.Unfinished();
    if (!last.empty() && !scan.valueMissing)
        ScanAuthLine(scan, last.c_str());
    DecideAuth(scan);
}

void SessionStateMachine::WriteLog(const std::vector<ParseLogLine>& lines)
{
    for (const ParseLogLine& line : lines)
        m_effects.Log(line.level, line.text);
}

void SessionStateMachine::DecideSummary(const SummaryScan& scan)
{
    WriteLog(scan.log);
    if (scan.link.empty()) {
        m_effects.Log(kLogError, StrFormat("해당 user[%s]의 Link 정보를 찾을 수 없음", m_settings.user.c_str()));
        return;
    }
    // The link goes back to the console as a command: only a name it can
    // have given, never text that would make a second command.
    if (!IsLinkName(scan.link)) {
        m_effects.Log(kLogError, StrFormat("Link[%s] is not a link name", scan.link.c_str()));
        return;
    }
    const std::string link = scan.link;
    StopTimer(kAnswerTimer);
    // The capture is to hold only the next answer.
    if (!BeginAnswer(Answer::Auth))
        return;
    int sent = m_effects.Send("link " + link + "\n");
    if (sent <= 0) {
        m_effects.Log(kLogError, StrFormat("send[link] failed, ret=%d", sent));
        return;
    }
    m_effects.Log(kLogFlow, StrFormat("Link [%s] succ", link.c_str()));
    // Sent straight after the link command, whose answer (its echo and the
    // prompt) lands in front of the auth answer.
    sent = m_effects.Send("show auth\n");
    if (sent <= 0) {
        m_effects.Log(kLogError, StrFormat("send[show auth] failed, ret=%d", sent));
        return;
    }
    m_effects.Log(kLogFlow, "cmd[show auth] send succ");
    m_state = kStateAuthRequested;
}

void SessionStateMachine::DecideAuth(const AuthScan& scan)
{
    WriteLog(scan.log);
    m_rTime = scan.rTime;
    // A line without a number has been logged; the next silence reads the
    // answer again.
    if (scan.valueMissing)
        return;
    // The test is on the session time itself, so a value from an earlier
    // answer of this run counts.
    if (m_rTime == -1) {
        m_effects.Log(kLogError, "잔여시간 파싱2 실패");
        return;
    }
    StopTimer(kAnswerTimer);
    m_state = kStateTimeKnown;
    // Nothing depends on the farewell arriving.
    m_effects.Send("exit\n");
}

void SessionStateMachine::AnswerStreamingTooLong()
{
    // An answer that never pauses and never ends with the prompt would be
    // read for ever: it is taken as failed, once, and the connection ends.
    m_effects.Log(kLogError, StrFormat("answer still arriving after %d s: taken as failed", kAnswerTimer.periodMs / 1000));
    if (m_state == kStateSummaryArriving)
        m_effects.Log(kLogError, StrFormat("해당 user[%s]의 Link 정보를 찾을 수 없음", m_settings.user.c_str()));
    else
        m_effects.Log(kLogError, "잔여시간 파싱2 실패");
    m_effects.AskWorkerToStop();
}

void SessionStateMachine::OnTimer(int id, int64_t elapsed)
{
    if (!TimerRunning(id))
        return;
    if (id == kRetryTimer.id) {
        StopTimer(kRetryTimer);
        m_effects.StartWorker();
        return;
    }
    if (id == kAnswerTimer.id) {
        StopTimer(kAnswerTimer);
        if (m_state == kStateSummaryArriving || m_state == kStateAuthArriving)
            AnswerStreamingTooLong();
        return;
    }
    if (m_rTime <= 0)
        return;
    if (id == kReminderTimer.id) {
        StopTimer(kReminderTimer);
        m_effects.ShowReminder(m_rTime);
        return;
    }
    if (id == kWarningTimer.id && elapsed > 0 && m_rTime - elapsed < kWarningThresholdSec) {
        // A time already run out is shown as none left, never as minus minutes.
        int64_t left = m_rTime - elapsed;
        StopTimer(kWarningTimer);
        m_effects.ShowWarning(left > 0 ? static_cast<int>(left) : 0);
    }
}

void SessionStateMachine::OnAdapterWatch(bool adapterPresent)
{
    if (!adapterPresent && TimerRunning(kAdapterWatchTimer.id))
        m_effects.Close();
}
