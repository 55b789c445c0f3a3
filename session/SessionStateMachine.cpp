#include "session/SessionStateMachine.h"

#include "framework/Format.h"
#include "log/LogLevel.h"
#include "session/SessionEvents.h"

namespace {

SessionAction Log(int level, std::string text)
{
    return {SessionActionKind::Log, level, 0, std::move(text)};
}

SessionAction Send(std::string text)
{
    return {SessionActionKind::Send, 0, 0, std::move(text)};
}

SessionAction Do(SessionActionKind kind, int number = 0, int period = 0)
{
    return {kind, number, period, std::string()};
}

void AppendLog(SessionActions& actions, std::vector<ParseLogLine>& lines)
{
    for (ParseLogLine& line : lines)
        actions.push_back(Log(line.level, std::move(line.text)));
    lines.clear();
}

}  // namespace

SessionActions SessionStateMachine::Await(Step step, SessionActions actions)
{
    m_step = step;
    return actions;
}

SessionAction SessionStateMachine::StartTimer(SessionTimer timer)
{
    m_timers.insert(timer.id);
    return Do(SessionActionKind::StartTimer, timer.id, timer.periodMs);
}

SessionAction SessionStateMachine::StopTimer(SessionTimer timer)
{
    m_timers.erase(timer.id);
    return Do(SessionActionKind::StopTimer, timer.id);
}

SessionActions SessionStateMachine::OnStart()
{
    return {Do(SessionActionKind::StartWorker), StartTimer(kWarningTimer), StartTimer(kReminderTimer)};
}

SessionActions SessionStateMachine::Failed(int level, const std::string& text)
{
    m_step = Step::Idle;
    return {Log(level, text)};
}

// Events 12 and 23: the conversation is over; at most three more attempts in
// the monitor's whole life.
SessionActions SessionStateMachine::ConnectionLost(const std::string& logText)
{
    int previous = m_retryCount;
    m_retryCount = previous + 1;
    m_state = kStateReconnecting;
    SessionActions actions = {Log(kLogError, logText)};
    // A timer rather than a sleep: the window keeps answering through the
    // pause, and the old worker ends meanwhile.
    if (previous < kMaxRetries)
        actions.push_back(StartTimer(kRetryTimer));
    return actions;
}

SessionActions SessionStateMachine::OnEvent(int type)
{
    m_step = Step::Idle;
    switch (type) {
    case kEvtConnected:
        return {Log(kLogFlow, "connect succ")};
    case kEvtSocketCreateFailed:
        return {Log(kLogError, "socket create failed)")};
    case kEvtConnectFailed:
        return ConnectionLost(StrFormat("connect failed. retry_count=%d", m_retryCount));
    case kEvtUsernamePrompt:
        // Sent every time the prompt comes: a server that asks again gets it again.
        return Await(Step::SendId, {Send(m_settings.adminId + "\n")});
    case kEvtPasswordPrompt:
        return Await(Step::SendPw, {Send(m_settings.adminPw + "\n")});
    case kEvtLoginAccepted:
        m_state = kStateLoggedIn;
        // The summary parse must see only the answer to this command.
        return Await(Step::DeleteBeforeSummary, {Log(kLogFlow, "Login OK !!!"), DeleteCapture()});
    case kEvtAnswerCaptured:
        if (m_state == kStateSummaryRequested) {
            m_state = kStateSummaryArriving;
            m_probeSummary = SummaryScan();
            return Probe({Log(kLogFlow, "summary정보 수신 중 ...")});
        }
        if (m_state == kStateAuthRequested) {
            m_state = kStateAuthArriving;
            m_probeAuth = AuthScan{-1, {}, false};
            return Probe({Log(kLogFlow, "auth정보 수신 중 ...")});
        }
        if (m_state == kStateSummaryArriving || m_state == kStateAuthArriving)
            return Probe({});
        return {};
    case kEvtSummaryComplete:
        m_summary = SummaryScan();
        return Await(Step::ScanSummary, {Do(SessionActionKind::ReadCapture)});
    case kEvtAuthComplete:
        m_auth = AuthScan{m_rTime, {}, false};
        return Await(Step::ScanAuth, {Do(SessionActionKind::ReadCapture)});
    case kEvtClosed:
        return {Log(kLogFlow, "close event")};
    case kEvtReceiveFailed:
        return {Log(kLogFlow, "recv error")};
    case kEvtUnknownOutcome:
        return {{SessionActionKind::ShowBox, 0, 0, "OnCopyData:recy_type error"}};
    case kEvtCaptureOpenFailed:
        return ConnectionLost(StrFormat("OnCopyData:file open failed. retry=%d", m_retryCount));
    case kEvtNoticeTimeout:
        return {Log(kLogFlow, "recv Time-out")};
    default:
        return {{SessionActionKind::ShowBox, 0, 0, StrFormat("OnCopyData() command error. type=%d", type)}};
    }
}

SessionActions SessionStateMachine::OnSent(int result)
{
    bool sent = result > 0;
    Step step = m_step;
    m_step = Step::Idle;
    switch (step) {
    case Step::SendId:
        return {sent ? Log(kLogFlow, "ID send succ") : Log(kLogError, StrFormat("ID send failed, ret=%d", result))};
    case Step::SendPw:
        return {sent ? Log(kLogFlow, "PW send succ") : Log(kLogError, StrFormat("PW send failed, ret=%d", result))};
    case Step::SendSummary:
        if (!sent)
            return Failed(kLogError, StrFormat("cmd[show summary] send failed, ret=%d", result));
        m_state = kStateSummaryRequested;
        return {Log(kLogFlow, "cmd[show summary] send succ")};
    case Step::SendLink:
        if (!sent)
            return Failed(kLogError, StrFormat("send[link] failed, ret=%d", result));
        // Sent straight after the link command: its answer lands in front of
        // the auth answer, and the auth parse skips it.
        return Await(Step::SendShowAuth, {Log(kLogFlow, StrFormat("Link [%s] succ", m_summary.link.c_str())),
                                          Send("show auth\n")});
    case Step::SendShowAuth:
        if (!sent)
            return Failed(kLogError, StrFormat("send[show auth] failed, ret=%d", result));
        m_state = kStateAuthRequested;
        return {Log(kLogFlow, "cmd[show auth] send succ")};
    case Step::SendExit: {
        // Nothing depends on the farewell arriving.
        SessionActions actions;
        StartWatchOnce(actions);
        return actions;
    }
    default:
        return {};
    }
}

SessionActions SessionStateMachine::OnCaptureDeleted(bool deleted)
{
    Step step = m_step;
    m_step = Step::Idle;
    // A file that cannot be deleted has been reported to the user; the
    // handling of this answer ends there.
    if (!deleted)
        return {};
    if (step == Step::DeleteBeforeSummary)
        return Await(Step::SendSummary, {Send("show summary\n")});
    if (step == Step::DeleteBeforeLink)
        return Await(Step::SendLink, {Send("link " + m_summary.link + "\n")});
    return {};
}

SessionActions SessionStateMachine::OnCaptureLine(const std::string& line)
{
    SessionActions actions;
    if (m_step == Step::ScanSummary) {
        ScanSummaryLine(m_summary, line, m_settings.user);
        AppendLog(actions, m_summary.log);
    } else if (m_step == Step::ScanAuth && !m_auth.valueMissing) {
        // Every matching line sets the time again; the last one decides.
        ScanAuthLine(m_auth, line);
        AppendLog(actions, m_auth.log);
        m_rTime = m_auth.rTime;
    }
    return actions;
}

SessionActions SessionStateMachine::OnCaptureEnd(bool opened)
{
    if (m_step == Step::ScanSummary)
        return SummaryRead(opened);
    if (m_step == Step::ScanAuth)
        return AuthRead(opened);
    return {};
}

SessionActions SessionStateMachine::SummaryRead(bool opened)
{
    if (!opened)
        return Failed(kLogError, StrFormat("file[#show summary result] open failed, path[%s]",
                                           m_settings.resultPath.c_str()));
    if (m_summary.link.empty())
        return Failed(kLogError, StrFormat("해당 user[%s]의 Link 정보를 찾을 수 없음", m_settings.user.c_str()));
    // The capture is to hold only the next answer.
    return Await(Step::DeleteBeforeLink, {DeleteCapture()});
}

SessionAction SessionStateMachine::DeleteCapture()
{
    // The next answer is read from the start of a new file.
    m_captureSeen = 0;
    m_captureLines = CaptureLineSplitter();
    return Do(SessionActionKind::DeleteCapture);
}

SessionActions SessionStateMachine::Probe(SessionActions actions)
{
    // A Session-Timeout line without a number settles nothing: the answer's
    // silence reports it.
    if (m_state == kStateAuthArriving && m_probeAuth.valueMissing)
        return actions;
    actions.push_back(Do(SessionActionKind::ReadNewCapture, m_captureSeen));
    return Await(m_state == kStateSummaryArriving ? Step::ProbeSummary : Step::ProbeAuth, actions);
}

void SessionStateMachine::OnCaptureBytes(const std::string& bytes)
{
    if (m_step != Step::ProbeSummary && m_step != Step::ProbeAuth)
        return;
    m_captureSeen += static_cast<int>(bytes.size());
    m_captureLines.Feed(bytes.data(), bytes.size(), [this](const std::string& line) {
        if (m_step == Step::ProbeSummary)
            ScanSummaryLine(m_probeSummary, line, m_settings.user);
        else if (!m_probeAuth.valueMissing)
            ScanAuthLine(m_probeAuth, line);
    });
}

SessionActions SessionStateMachine::OnNewCaptureEnd(bool opened)
{
    Step step = m_step;
    m_step = Step::Idle;
    SessionActions actions;
    // Settled: the same log lines and the same next steps as after the
    // answer's silence, from the complete lines so far. What the rest of
    // the answer brings changes nothing decided here.
    if (opened && step == Step::ProbeSummary && !m_probeSummary.link.empty()) {
        m_summary = std::move(m_probeSummary);
        m_probeSummary = SummaryScan();
        AppendLog(actions, m_summary.log);
        for (SessionAction& a : SummaryRead(true))
            actions.push_back(std::move(a));
        return actions;
    }
    if (opened && step == Step::ProbeAuth && m_probeAuth.valueFound && !m_probeAuth.valueMissing) {
        m_auth = m_probeAuth;
        AppendLog(actions, m_auth.log);
        m_rTime = m_auth.rTime;
        for (SessionAction& a : AuthRead(true))
            actions.push_back(std::move(a));
        return actions;
    }
    return actions;
}

SessionActions SessionStateMachine::AuthRead(bool opened)
{
    m_step = Step::Idle;
    SessionActions actions;
    if (!opened) {
        actions.push_back(
            Log(kLogError, StrFormat("file[#show auth result] open failed, path[%s]", m_settings.resultPath.c_str())));
    } else if (m_auth.valueMissing) {
        // Its line has been logged; the next silence parses the answer again.
    } else if (m_rTime == -1) {
        // The test is on the session time itself, so a value from an earlier
        // answer of this run counts.
        actions.push_back(Log(kLogError, "잔여시간 파싱2 실패"));
    } else {
        m_state = kStateTimeKnown;
        actions.push_back(Send("exit\n"));
        return Await(Step::SendExit, actions);
    }
    StartWatchOnce(actions);
    return actions;
}

void SessionStateMachine::StartWatchOnce(SessionActions& actions)
{
    if (!TimerRunning(kAdapterWatchTimer.id))
        actions.push_back(StartTimer(kAdapterWatchTimer));
}

SessionActions SessionStateMachine::OnTimer(int id, int64_t elapsed)
{
    if (!TimerRunning(id))
        return {};
    if (id == kRetryTimer.id)
        return {StopTimer(kRetryTimer), Do(SessionActionKind::StartWorker)};
    if (m_rTime <= 0)
        return {};
    if (id == kReminderTimer.id)
        return {StopTimer(kReminderTimer), Do(SessionActionKind::ShowReminder, m_rTime)};
    if (id == kWarningTimer.id && elapsed > 0 && m_rTime - elapsed < kWarningThresholdSec) {
        // A time already run out is shown as none left, never as minus minutes.
        int64_t left = m_rTime - elapsed;
        return {Do(SessionActionKind::ShowWarning, left > 0 ? static_cast<int>(left) : 0), StopTimer(kWarningTimer)};
    }
    return {};
}

SessionActions SessionStateMachine::OnAdapterWatch(bool adapterPresent)
{
    if (adapterPresent || !TimerRunning(kAdapterWatchTimer.id))
        return {};
    return {Do(SessionActionKind::Close)};
}
