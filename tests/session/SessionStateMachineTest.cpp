// The conversation's state machine, driven as the main window drives it:
// each row is one event from a state, with the outcomes of its sends, file
// deletion and capture, and the exact actions that must come out.
#include "session/SessionRunner.h"

#include "log/LogLevel.h"
#include "session/SessionEvents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
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

// A window that records every effect as text and answers with the script.
class RecordingEffects : public SessionEffects {
public:
    explicit RecordingEffects(const Script& script) : m_script(script) {}
    std::vector<std::string> seen;

    void Log(int level, const std::string& text) override { Note(level == kLogError ? "E " : "F ", text); }
    int Send(const std::string& command) override
    {
        Note("send ", command);
        return m_sends++ == m_script.failSend ? -1 : static_cast<int>(command.size());
    }
    bool DeleteCapture() override { return Note("delete"), !m_script.deleteFails; }
    bool ReadCapture(const std::function<bool(const std::string&)>& onLine) override
    {
        Note("read");
        for (size_t i = 0; !m_script.captureMissing && i < m_script.capture.size() && onLine(m_script.capture[i]);)
            ++i;
        return !m_script.captureMissing;
    }
    bool ReadCaptureFrom(int offset, const std::function<void(const std::string&)>& onBytes) override
    {
        Note("read from ", std::to_string(offset));
        std::string all;
        for (const std::string& line : m_script.capture)
            all += line;
        if (!m_script.captureMissing && offset < static_cast<int>(all.size()))
            onBytes(all.substr(offset));
        return !m_script.captureMissing;
    }
    void StartTimer(int id, int ms) override { Note("timer ", std::to_string(id) + " " + std::to_string(ms)); }
    void StopTimer(int id) override { Note("stop ", std::to_string(id)); }
    void ShowReminder(int rTime) override { Note("reminder ", std::to_string(rTime)); }
    void ShowWarning(int remainSec) override { Note("warning ", std::to_string(remainSec)); }
    void ShowBox(const std::string& text) override { Note("box ", text); }
    void StartWorker() override { Note("worker"); }
    void Close() override { Note("close"); }

private:
    void Note(const char* what, const std::string& text = "") { seen.push_back(what + Escape(text)); }

    const Script& m_script;
    int m_sends = 0;
};

// One handling by the real runner over a recording window; the state the
// worker reads afterwards ends the list when the handling changed it.
std::vector<std::string> Drive(SessionStateMachine& m, const std::function<SessionActions()>& handle,
                               const Script& script)
{
    RecordingEffects window(script);
    const int before = m.m_state;
    std::atomic<int32_t> workerState{before};
    EXPECT_TRUE(RunSessionActions(m, handle(), window, workerState)) << "actions out of order";
    EXPECT_EQ(workerState.load(), m.m_state) << "the state the worker reads";
    if (m.m_state != before)
        window.seen.push_back("state " + std::to_string(m.m_state));
    return window.seen;
}

// A machine after these events; the answers settle only at their silence.
SessionStateMachine Machine(const std::vector<int>& before)
{
    SessionStateMachine m;
    m.Configure({"user01\t", "admin", "qalvexor", "C:\\home\\result"});
    for (int event : before)
        Drive(m, [&] { return m.OnEvent(event); }, event == kEvtAnswerCaptured ? Capture({}) : Ok());
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
        {"connect failed", {}, kEvtConnectFailed, Ok(), {"E connect failed. retry_count=0", "timer 300 1000", "state 1"}},
        {"capture not opened", kIn21, kEvtCaptureOpenFailed, Ok(),
         {"E OnCopyData:file open failed. retry=0", "timer 300 1000", "state 1"}},
        {"user name asked", {}, kEvtUsernamePrompt, Ok(), {"send admin\\n", "F ID send succ"}},
        {"user name not sent", {}, kEvtUsernamePrompt, FailSend(0), {"send admin\\n", "E ID send failed, ret=-1"}},
        {"password asked", {}, kEvtPasswordPrompt, Ok(), {"send qalvexor\\n", "F PW send succ"}},
        {"password not sent", {}, kEvtPasswordPrompt, FailSend(0), {"send qalvexor\\n", "E PW send failed, ret=-1"}},
        {"welcome", {}, kEvtLoginAccepted, Ok(),
         {"F Login OK !!!", "delete", "send show summary\\n", "F cmd[show summary] send succ", "state 20"}},
        {"welcome, old capture not deletable", {}, kEvtLoginAccepted, FailDelete(), {"F Login OK !!!", "delete", "state 10"}},
        {"welcome, summary not sent", {}, kEvtLoginAccepted, FailSend(0),
         {"F Login OK !!!", "delete", "send show summary\\n", "E cmd[show summary] send failed, ret=-1", "state 10"}},
        {"summary arriving", kIn20, kEvtAnswerCaptured, Capture({"Link summary\n"}),
         {"F summary정보 수신 중 ...", "read from 0", "state 21"}},
        {"summary arriving with the user's row", kIn20, kEvtAnswerCaptured, Ok(),
         {"F summary정보 수신 중 ...", "read from 0", kSummaryFound, "F Link[7]", "delete", "send link 7\\n",
          "F Link [7] succ", "send show auth\\n", "F cmd[show auth] send succ", "state 30"}},
        {"auth arriving", kIn30, kEvtAnswerCaptured, Capture({"Link 7 selected\n"}),
         {"F auth정보 수신 중 ...", "read from 0", "state 31"}},
        {"auth arriving with the session time", kIn30, kEvtAnswerCaptured, Ok(),
         {"F auth정보 수신 중 ...", "read from 0", kTimeoutFound, "F rTime[3600]", "send exit\\n", "timer 200 3000",
          "state 40"}},
        {"auth arriving with a value that is no number", kIn30, kEvtAnswerCaptured,
         Capture({"  Session-Timeout : none\n", "  Session-Timeout : 9\n"}),
         {"F auth정보 수신 중 ...", "read from 0", "state 31"}},
        {"summary row without its line end yet", kIn21, kEvtAnswerCaptured,
         Capture({"ng7\tB7\tUp\t7\tOPENED\tpptp\tREADY\t  user01\t198.51.100.5"}), {"read from 0"}},
        {"frame while logged in only", {}, kEvtAnswerCaptured, Ok(), {}},
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
         {"read", kTimeoutFound, "F rTime[3600]", "send exit\\n", "timer 200 3000", "state 40"}},
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
        EXPECT_EQ(Drive(m, [&] { return m.OnEvent(row.event); }, row.script), row.actions) << row.name;
    }
}

TEST(SessionStateMachine, RetriesThreeTimesInTheMonitorsLife)
{
    SessionStateMachine m = Machine({});
    for (int i = 0; i < 4; ++i) {
        std::vector<std::string> expected = {"E connect failed. retry_count=" + std::to_string(i)};
        if (i < kMaxRetries)
            expected.push_back("timer 300 1000");
        if (i == 0 || i == 1)
            expected.push_back("state 1");
        // A login in between does not give the attempts back.
        if (i == 1)
            Drive(m, [&] { return m.OnEvent(kEvtLoginAccepted); }, Ok());
        EXPECT_EQ(Drive(m, [&] { return m.OnEvent(kEvtConnectFailed); }, Ok()), expected) << "failure " << i;
    }
    EXPECT_EQ(m.m_retryCount, 4);
}

TEST(SessionStateMachine, AdapterWatchStartsOnceAndKeepsItsPeriod)
{
    // An auth answer that keeps lacking its value comes back every 2 s; the
    // 3-second watch must not be restarted by each one, or it never runs.
    SessionStateMachine m = Machine(kIn31);
    Script noValue = Capture({"  Session-Timeout :\n"});
    EXPECT_EQ(Drive(m, [&] { return m.OnEvent(kEvtAuthComplete); }, noValue).back(), "timer 200 3000");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Drive(m, [&] { return m.OnEvent(kEvtAuthComplete); }, noValue),
                  (std::vector<std::string>{"read", kTimeoutFound, "E 잔여시간 파싱 실패"}));
    EXPECT_EQ(Drive(m, [&] { return m.OnAdapterWatch(true); }, Ok()), std::vector<std::string>());
    EXPECT_EQ(Drive(m, [&] { return m.OnAdapterWatch(false); }, Ok()), std::vector<std::string>{"close"});
}

TEST(SessionStateMachine, TimersActOnlyWhileRunningForTheirPurpose)
{
    SessionStateMachine started = Machine({});
    EXPECT_EQ(Drive(started, [&] { return started.OnStart(); }, Ok()),
              (std::vector<std::string>{"worker", "timer 30 10000", "timer 3 300"}));
    struct Row {
        const char* name;
        bool start;
        std::vector<int> before;
        int rTime, timer;
        int64_t elapsed;
        std::vector<std::string> actions;
    } rows[] = {
        {"reminder before the time is known", true, {}, -1, kReminderTimer.id, 5, {}},
        {"reminder", true, {}, 650, kReminderTimer.id, 5, {"stop 3", "reminder 650"}},
        {"warning with 10 minutes to go", true, {}, 650, kWarningTimer.id, 50, {}},
        {"warning below 10 minutes", true, {}, 650, kWarningTimer.id, 51, {"warning 599", "stop 30"}},
        {"warning after the time ran out shows none left", true, {}, 650, kWarningTimer.id, 700, {"warning 0", "stop 30"}},
        {"warning with a clock gone back", true, {}, 650, kWarningTimer.id, 0, {}},
        {"warning before the time is known", true, {}, -1, kWarningTimer.id, 50, {}},
        {"warning with a clock set far back", true, {}, 2147483647, kWarningTimer.id, -(int64_t(1) << 40), {}},
        {"warning with a clock set far ahead", true, {}, 2147483647, kWarningTimer.id, int64_t(1) << 40,
         {"warning 0", "stop 30"}},
        {"reminder tick posted before the start", false, {}, 650, kReminderTimer.id, 5, {}},
        {"retry tick with no retry pending", true, {}, -1, kRetryTimer.id, 5, {}},
        {"retry tick after a failed connect", true, {kEvtConnectFailed}, -1, kRetryTimer.id, 5, {"stop 300", "worker"}},
    };
    for (const Row& row : rows) {
        SessionStateMachine m = Machine(row.before);
        if (row.start)
            Drive(m, [&] { return m.OnStart(); }, Ok());
        m.m_rTime = row.rTime;
        EXPECT_EQ(Drive(m, [&] { return m.OnTimer(row.timer, row.elapsed); }, Ok()), row.actions)
            << row.name;
        EXPECT_EQ(Drive(m, [&] { return m.OnTimer(row.timer, row.elapsed); }, Ok()), std::vector<std::string>())
            << row.name << ": a second tick of a timer that has done its job";
    }
    SessionStateMachine watchless = Machine({});
    EXPECT_EQ(Drive(watchless, [&] { return watchless.OnAdapterWatch(false); }, Ok()), std::vector<std::string>())
        << "a watch verdict before the watch started";
}

TEST(SessionRunner, AnAwaitedActionBeforeTheEndOfItsListIsRefusedLoudly)
{
#ifndef NDEBUG
    GTEST_SKIP() << "a debug build stops at the runner's assertion";
#endif
    SessionStateMachine m = Machine({});
    Script script = Ok();
    RecordingEffects window(script);
    std::atomic<int32_t> workerState{0};
    SessionActions broken = {{SessionActionKind::Send, 0, 0, "a\n"}, {SessionActionKind::Close}};
    EXPECT_FALSE(RunSessionActions(m, broken, window, workerState));
    EXPECT_EQ(window.seen, (std::vector<std::string>{"send a\\n", "E session actions out of order: an awaited "
                                                                   "action was not the last"}))
        << "nothing after the awaited action runs";
}

TEST(SessionStateMachine, AnswerOneByteAtATimeSettlesWhenTheNeededLineEnds)
{
    struct Row {
        const char* name;
        std::vector<int> before;
        std::string answer;
        std::string neededLine;  // the answer settles once this line's CR LF has come
        const char* command;
    } rows[] = {
        {"summary", kIn20,
         "Link summary\r\nIface\tBund\t\tLink\tLCP\tDevice\t\tUser\tFrom\r\n"
         "ng3\tB3\tUp\t3\tOPENED\tpptp\tREADY\t    jkim\t198.51.100.6\r\n",
         "ng7\tB7\tUp\t7\tOPENED\tpptp\tREADY\t  user01\t198.51.100.5\r\n", "send link 7\\n"},
        {"auth", kIn30, "Link 7 selected\r\n  Auth information of link 7\r\n  User-Name : user01\r\n",
         "  Session-Timeout : 3600\r\n", "send exit\\n"},
    };
    for (const Row& row : rows) {
        SessionStateMachine m = Machine(row.before);
        const std::string all = row.answer + row.neededLine + "  Idle-Timeout : 1800\r\n";
        Script script = Capture({""});
        size_t settledAt = 0;
        for (size_t n = 1; n <= all.size() && !settledAt; ++n) {
            script.capture[0] = all.substr(0, n);
            std::vector<std::string> seen = Drive(m, [&] { return m.OnEvent(kEvtAnswerCaptured); }, script);
            if (std::find(seen.begin(), seen.end(), row.command) != seen.end())
                settledAt = n;
        }
        EXPECT_EQ(settledAt, row.answer.size() + row.neededLine.size()) << row.name << ": settled after the line end";
    }
}
