// The conversation's state machine, driven as the main window drives it:
// each row is one event from a state, with the outcomes of its sends, file
// deletion and capture, and the exact actions that must come out.
#include "session/SessionStateMachine.h"

#include "log/LogLevel.h"
#include "session/SessionEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> kAnswer = {"Idx\tUser\tIP\tLink\n", "  1\tuser01\t10.0.0.5\t7\tup\n",
                                          "  Session-Timeout : 3600\n"};

// The outcomes the window would hand back.
struct Script {
    int failSend = -1;  // index of the send that fails with -1
    bool deleteFails = false;
    bool captureMissing = false;
    std::vector<std::string> capture = kAnswer;
};
Script Ok() { return Script(); }
Script FailSend(int index) { Script s; s.failSend = index; return s; }
Script FailDelete() { Script s; s.deleteFails = true; return s; }
Script NoCapture() { Script s; s.captureMissing = true; return s; }
Script Capture(std::vector<std::string> lines) { Script s; s.capture = std::move(lines); return s; }

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
    return out;
}

// The window's execution loop with scripted outcomes; every action as text.
std::vector<std::string> Drive(SessionStateMachine& m, SessionActions actions, const Script& script)
{
    std::vector<std::string> seen;
    int sends = 0;
    while (!actions.empty()) {
        SessionActions next;
        for (size_t i = 0; i < actions.size(); ++i) {
            const SessionAction& a = actions[i];
            bool answered = true;
            switch (a.kind) {
            case SessionActionKind::Log:
                seen.push_back(std::string(a.number == kLogError ? "E " : "F ") + Escape(a.text));
                answered = false;
                break;
            case SessionActionKind::Send:
                seen.push_back("send " + Escape(a.text));
                next = m.OnSent(sends++ == script.failSend ? -1 : static_cast<int>(a.text.size()));
                break;
            case SessionActionKind::DeleteCapture:
                seen.push_back("delete");
                next = m.OnCaptureDeleted(!script.deleteFails);
                break;
            case SessionActionKind::ReadCapture:
                seen.push_back("read");
                if (!script.captureMissing)
                    for (size_t l = 0; l < script.capture.size() && m.WantsCaptureLines(); ++l)
                        for (const std::string& s : Drive(m, m.OnCaptureLine(script.capture[l]), script))
                            seen.push_back(s);
                next = m.OnCaptureEnd(!script.captureMissing);
                break;
            default:
                static const char* const names[] = {"", "", "state", "time", "", "", "timer", "stop", "reminder",
                                                    "warning", "box", "retry", "close"};
                seen.push_back(names[static_cast<int>(a.kind)] +
                               (a.kind == SessionActionKind::ShowBox ? " " + a.text
                                : a.kind == SessionActionKind::Retry || a.kind == SessionActionKind::Close
                                    ? std::string()
                                    : " " + std::to_string(a.number)) +
                               (a.period ? " " + std::to_string(a.period) : std::string()));
                answered = false;
                break;
            }
            EXPECT_TRUE(!answered || i + 1 == actions.size()) << "an action that awaits its outcome must end its list";
        }
        actions = std::move(next);
    }
    return seen;
}

SessionStateMachine Machine(const std::vector<int>& before)
{
    SessionStateMachine m;
    m.Configure({"user01\t", "admin", "qalvexor", "C:\\home\\result"});
    for (int event : before)
        Drive(m, m.OnEvent(event), Ok());
    return m;
}

const std::vector<int> kIn20 = {kEvtLoginAccepted};
const std::vector<int> kIn21 = {kEvtLoginAccepted, kEvtAnswerCaptured};
const std::vector<int> kIn30 = {kEvtLoginAccepted, kEvtAnswerCaptured, kEvtSummaryComplete};
const std::vector<int> kIn31 = {kEvtLoginAccepted, kEvtAnswerCaptured, kEvtSummaryComplete, kEvtAnswerCaptured};
const char kSummaryFound[] = "F summary 해당 user 검색 성공";
const char kTimeoutFound[] = "F Session-Timeout 검색 성공";

}  // namespace

TEST(SessionStateMachine, AnswersEachEventWithItsActions)
{
    struct Row {
        const char* name;
        std::vector<int> before;
        int event;
        Script script;
        std::vector<std::string> actions;
    } rows[] = {
        {"connected", {}, kEvtConnected, Ok(), {"F connect succ"}},
        {"no socket", {}, kEvtSocketCreateFailed, Ok(), {"E socket create failed)"}},
        {"connect failed", {}, kEvtConnectFailed, Ok(), {"state 1", "E connect failed. retry_count=0", "retry"}},
        {"capture not opened", kIn21, kEvtCaptureOpenFailed, Ok(),
         {"state 1", "E OnCopyData:file open failed. retry=0", "retry"}},
        {"user name asked", {}, kEvtUsernamePrompt, Ok(), {"send admin\\n", "F ID send succ"}},
        {"user name not sent", {}, kEvtUsernamePrompt, FailSend(0), {"send admin\\n", "E ID send failed, ret=-1"}},
        {"password asked", {}, kEvtPasswordPrompt, Ok(), {"send qalvexor\\n", "F PW send succ"}},
        {"password not sent", {}, kEvtPasswordPrompt, FailSend(0), {"send qalvexor\\n", "E PW send failed, ret=-1"}},
        {"welcome", {}, kEvtLoginAccepted, Ok(),
         {"F Login OK !!!", "state 10", "delete", "send show summary\\n", "F cmd[show summary] send succ", "state 20"}},
        {"welcome, old capture not deletable", {}, kEvtLoginAccepted, FailDelete(), {"F Login OK !!!", "state 10", "delete"}},
        {"welcome, summary not sent", {}, kEvtLoginAccepted, FailSend(0),
         {"F Login OK !!!", "state 10", "delete", "send show summary\\n", "E cmd[show summary] send failed, ret=-1"}},
        {"summary arriving", kIn20, kEvtAnswerCaptured, Ok(), {"F summary정보 수신 중 ...", "state 21"}},
        {"auth arriving", kIn30, kEvtAnswerCaptured, Ok(), {"F auth정보 수신 중 ...", "state 31"}},
        {"frame while logged in only", {}, kEvtAnswerCaptured, Ok(), {}},
        {"frame while the summary arrives", kIn21, kEvtAnswerCaptured, Ok(), {}},
        {"summary complete", kIn21, kEvtSummaryComplete, Ok(),
         {"read", kSummaryFound, "F Link[7]", "delete", "send link 7\\n", "F Link [7] succ", "send show auth\\n",
          "F cmd[show auth] send succ", "state 30"}},
        {"summary capture missing", kIn21, kEvtSummaryComplete, NoCapture(),
         {"read", "E file[#show summary result] open failed, path[C:\\home\\result]"}},
        {"user not in the summary", kIn21, kEvtSummaryComplete, Capture({"  1\tjkim\t10.0.0.5\t7\tup\n"}),
         {"read", "E 해당 user[user01\\t]의 Link 정보를 찾을 수 없음"}},
        {"summary capture not deletable", kIn21, kEvtSummaryComplete, FailDelete(),
         {"read", kSummaryFound, "F Link[7]", "delete"}},
        {"link not sent", kIn21, kEvtSummaryComplete, FailSend(0),
         {"read", kSummaryFound, "F Link[7]", "delete", "send link 7\\n", "E send[link] failed, ret=-1"}},
        {"show auth not sent", kIn21, kEvtSummaryComplete, FailSend(1),
         {"read", kSummaryFound, "F Link[7]", "delete", "send link 7\\n", "F Link [7] succ", "send show auth\\n",
          "E send[show auth] failed, ret=-1"}},
        {"auth complete", kIn31, kEvtAuthComplete, Ok(),
         {"read", kTimeoutFound, "F rTime[3600]", "time 3600", "state 40", "send exit\\n", "timer 200 3000"}},
        {"auth value missing", kIn31, kEvtAuthComplete, Capture({"  Session-Timeout :\n", "  Session-Timeout : 9\n"}),
         {"read", kTimeoutFound, "E 잔여시간 파싱 실패", "timer 200 3000"}},
        {"auth value without digits", kIn31, kEvtAuthComplete, Capture({"  Session-Timeout : none\n"}),
         {"read", kTimeoutFound, "E 잔여시간 파싱 실패", "timer 200 3000"}},
        {"no auth line", kIn31, kEvtAuthComplete, Capture({"% unknown\n"}),
         {"read", "E 잔여시간 파싱2 실패", "timer 200 3000"}},
        {"auth capture missing", kIn31, kEvtAuthComplete, NoCapture(),
         {"read", "E file[#show auth result] open failed, path[C:\\home\\result]", "timer 200 3000"}},
        {"closed", {}, kEvtClosed, Ok(), {"F close event"}},
        {"receive failed", {}, kEvtReceiveFailed, Ok(), {"F recv error"}},
        {"unknown outcome", {}, kEvtUnknownOutcome, Ok(), {"box OnCopyData:recy_type error"}},
        {"notice time-out", {}, kEvtNoticeTimeout, Ok(), {"F recv Time-out"}},
        {"code 13", {}, 13, Ok(), {"box OnCopyData() command error. type=13"}},
        {"code 99", {}, 99, Ok(), {"box OnCopyData() command error. type=99"}},
    };
    for (const Row& row : rows) {
        SessionStateMachine m = Machine(row.before);
        EXPECT_EQ(Drive(m, m.OnEvent(row.event), row.script), row.actions) << row.name;
    }
}

TEST(SessionStateMachine, RetriesThreeTimesInTheMonitorsLife)
{
    SessionStateMachine m = Machine({});
    for (int i = 0; i < 4; ++i) {
        std::vector<std::string> expected = {"state 1", "E connect failed. retry_count=" + std::to_string(i)};
        if (i < kMaxRetries)
            expected.push_back("retry");
        // A login in between does not give the attempts back.
        if (i == 1)
            Drive(m, m.OnEvent(kEvtLoginAccepted), Ok());
        EXPECT_EQ(Drive(m, m.OnEvent(kEvtConnectFailed), Ok()), expected) << "failure " << i;
    }
    EXPECT_EQ(m.m_retryCount, 4);
}

TEST(SessionStateMachine, AdapterWatchStartsOnceAndKeepsItsPeriod)
{
    // An auth answer that keeps lacking its value comes back every 2 s; the
    // 3-second watch must not be restarted by each one, or it never runs.
    SessionStateMachine m = Machine(kIn31);
    Script noValue = Capture({"  Session-Timeout :\n"});
    EXPECT_EQ(Drive(m, m.OnEvent(kEvtAuthComplete), noValue).back(), "timer 200 3000");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Drive(m, m.OnEvent(kEvtAuthComplete), noValue),
                  (std::vector<std::string>{"read", kTimeoutFound, "E 잔여시간 파싱 실패"}));
    EXPECT_EQ(Drive(m, m.OnAdapterWatch(true), Ok()), std::vector<std::string>());
    EXPECT_EQ(Drive(m, m.OnAdapterWatch(false), Ok()), std::vector<std::string>{"close"});
}

TEST(SessionStateMachine, ReminderAndWarningWaitForTheSessionTime)
{
    struct Row {
        const char* name;
        int rTime, timer, elapsed;
        std::vector<std::string> actions;
    } rows[] = {
        {"reminder before the time is known", -1, kTimerReminder, 5, {}},
        {"reminder", 650, kTimerReminder, 5, {"stop 3", "reminder 650"}},
        {"warning with 10 minutes to go", 650, kTimerWarning, 50, {}},
        {"warning below 10 minutes", 650, kTimerWarning, 51, {"warning 599", "stop 30"}},
        {"warning after the time ran out shows none left", 650, kTimerWarning, 700, {"warning 0", "stop 30"}},
        {"warning with a clock gone back", 650, kTimerWarning, 0, {}},
        {"warning before the time is known", -1, kTimerWarning, 50, {}},
    };
    for (const Row& row : rows) {
        SessionStateMachine m = Machine({});
        m.m_rTime = row.rTime;
        EXPECT_EQ(Drive(m, m.OnTimer(row.timer, row.elapsed), Ok()), row.actions) << row.name;
    }
}
