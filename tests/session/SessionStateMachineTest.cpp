// The conversation's state machine, driven as the main window drives it:
// each row is one event from a state, with what the capture holds by then,
// the outcomes of sends and the deletion, and the exact effects that must
// come out.
#include "session/SessionStateMachine.h"

#include "log/LogLevel.h"
#include "session/SessionEvents.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Effects = std::vector<std::string>;

const char kSummaryHead[] = "[] show summary\r\nLink summary\r\nIface\tBund\t\tLink\tLCP\tDevice\t\tUser\tFrom\r\n";
const char kAuthHead[] = "link 7\r\n[7] show auth\r\n  Auth information of link 7\r\n";
const char kTimeout[] = "  Session-Timeout : 3600\r\n";

std::string SummaryRow(int link, const char* user)
{
    return "ng" + std::to_string(link) + "\tB" + std::to_string(link) + "\tUp\t" + std::to_string(link) +
           "\tOPENED\tpptp\tREADY\t" + user + "\t198.51.100.5\r\n";
}

// The bytes the worker captured just before the event (with it, for a
// captured frame), and how the sends and the emptying of the capture turn out.
struct Script {
    std::string frame;
    int failSend = -1;  // index of the send that fails with -1
    CaptureReplaced replaced = {};
};
Script Frame(std::string bytes, int failSend = -1, CaptureReplaced replaced = {})
{
    return {std::move(bytes), failSend, replaced};
}
CaptureReplaced Held(CaptureReplace how)
{
    return {how, ERROR_SHARING_VIOLATION, 2000, L"C:\\home\\result"};
}

// A window and a transport that record every effect as text. Lines the
// server's text caused (counted against the connection's share of the log)
// are marked with a tilde.
class Recorder : public ScreenEffects, public TransportEffects {
public:
    Script script;
    Effects seen;

    void Log(int level, const std::string& text) override { Note(Level(level), text); }
    void LogTraffic(int level, const std::string& text) override { Note(("~" + Level(level)).c_str(), text); }
    int Send(const std::string& command) override
    {
        Note("send ", command);
        return m_sends++ == script.failSend ? -1 : static_cast<int>(command.size());
    }
    CaptureReplaced ReplaceCapture() override
    {
        Note("replace");
        return script.replaced;
    }
    void StartTimer(int id, int ms) override { Note("timer ", std::to_string(id) + " " + std::to_string(ms)); }
    void StopTimer(int id) override { Note("stop ", std::to_string(id)); }
    void ShowReminder(int rTime) override { Note("reminder ", std::to_string(rTime)); }
    void ShowWarning(int remainSec) override { Note("warning ", std::to_string(remainSec)); }
    void ShowBox(const std::string& text) override { Note("box ", text); }
    void ShowFileError(const std::wstring&, unsigned long error) override { Note("file box ", std::to_string(error)); }
    bool Connect() override
    {
        Note("worker");
        return true;
    }
    void Hangup() override { Note("stop worker"); }
    void Close() override { Note("close"); }

    void Begin(const Script& next)
    {
        script = next;
        seen.clear();
        m_sends = 0;
    }

private:
    static std::string Level(int level) { return level == kLogError ? "E " : level == kLogWarn ? "W " : "F "; }
    void Note(const std::string& what, const std::string& text = "") { seen.push_back(what + text); }
    int m_sends = 0;
};

const int kCaptured = TypeOf(SessionEvent::AnswerCaptured);

// A monitor's conversation over a recorder. Step hands the machine one
// handling and returns its effects; a changed state ends the list.
struct Conversation {
    Recorder world;
    SessionStateMachine machine{world, world};

    explicit Conversation(const char* user = "user01")
    {
        machine.Configure({std::string(user) + "\t", "admin", "qalvexor", "C:\\home\\result"});
    }

    template <class Handling>
    Effects Step(Handling handle, const Script& script = Frame(""))
    {
        world.Begin(script);
        const int before = machine.State();
        handle(machine);
        if (machine.State() != before)
            world.seen.push_back("state " + std::to_string(machine.State()));
        return world.seen;
    }
    // The event by its type code. A frame given with another event than a
    // captured one came in before it, in a receive of its own.
    Effects Event(int type, const Script& script = Frame(""))
    {
        if (type != kCaptured && !script.frame.empty())
            Step([&](SessionStateMachine& m) { m.OnRecord(kCaptured, script.frame); });
        const std::string captured = type == kCaptured ? script.frame : "";
        return Step([&](SessionStateMachine& m) { m.OnRecord(static_cast<uint32_t>(type), captured); }, script);
    }
};

// The events by their type codes, as the records carry them.
const int kEvtConnected = TypeOf(SessionEvent::Connected);
const int kEvtSocketCreateFailed = TypeOf(SessionEvent::SocketCreateFailed);
const int kEvtConnectFailed = TypeOf(SessionEvent::ConnectFailed);
const int kEvtUsernamePrompt = TypeOf(SessionEvent::UsernamePrompt);
const int kEvtPasswordPrompt = TypeOf(SessionEvent::PasswordPrompt);
const int kEvtLoginAccepted = TypeOf(SessionEvent::LoginAccepted);
const int kEvtAnswerCaptured = kCaptured;
const int kEvtSummaryComplete = TypeOf(SessionEvent::SummaryComplete);
const int kEvtAuthComplete = TypeOf(SessionEvent::AuthComplete);
const int kEvtClosed = TypeOf(SessionEvent::Closed);
const int kEvtReceiveFailed = TypeOf(SessionEvent::ReceiveFailed);
const int kEvtUnknownOutcome = TypeOf(SessionEvent::UnknownOutcome);
const int kEvtCaptureOpenFailed = TypeOf(SessionEvent::CaptureOpenFailed);
const int kEvtNoticeTimeout = TypeOf(SessionEvent::NoticeTimeout);

// Where a row starts: the events that bring the conversation there, each
// with the bytes its frame adds to the capture.
using Start = std::vector<std::pair<int, std::string>>;
const Start kLoggedIn = {};
const Start kIn20 = {{kEvtLoginAccepted, ""}};
const Start kIn21 = {{kEvtLoginAccepted, ""}, {kEvtAnswerCaptured, kSummaryHead}};
const Start kIn30 = {{kEvtLoginAccepted, ""}, {kEvtAnswerCaptured, kSummaryHead + SummaryRow(7, "  user01")},
                     {kEvtSummaryComplete, ""}};
const Start kIn31 = {{kEvtLoginAccepted, ""}, {kEvtAnswerCaptured, kSummaryHead + SummaryRow(7, "  user01")},
                     {kEvtSummaryComplete, ""}, {kEvtAnswerCaptured, kAuthHead}};
const Start kIn40 = {{kEvtLoginAccepted, ""}, {kEvtAnswerCaptured, kSummaryHead + SummaryRow(7, "  user01")},
                     {kEvtSummaryComplete, ""}, {kEvtAnswerCaptured, kAuthHead + std::string(kTimeout) + "[7] "}};
const Start kAsked3Times = {{kEvtConnected, ""}, {kEvtPasswordPrompt, ""}, {kEvtPasswordPrompt, ""},
                            {kEvtPasswordPrompt, ""}};

// A start and then more frames of the answer, each in a receive of its own.
Start AndFrames(Start start, const std::vector<std::string>& frames, int event = kEvtAnswerCaptured)
{
    for (const std::string& frame : frames)
        start.push_back({event, frame});
    return start;
}

// The same with every byte but the answer's last in a receive of its own;
// the row's event brings the last byte.
Start ByteByByte(Start start, const std::string& answer)
{
    for (size_t i = 0; i + 1 < answer.size(); ++i)
        start.push_back({kEvtAnswerCaptured, answer.substr(i, 1)});
    return start;
}

void Prepare(Conversation& c, const Start& start)
{
    for (const auto& event : start)
        c.Event(event.first, Frame(event.second));
}

const char kFound[] = "~F summary 해당 user 검색 성공";
const char kTimeoutFound[] = "~F Session-Timeout 검색 성공";
// The last match's lines are the decision's: the monitor's own.
const char kFoundLast[] = "F summary 해당 user 검색 성공";
const char kTimeoutFoundLast[] = "F Session-Timeout 검색 성공";
const char kNoLink[] = "E 해당 user[user01\t]의 Link 정보를 찾을 수 없음";
const char kNewLine[] = "timer 400 30000";
const Effects kLinkSent = {"replace", "send link 7\n", "F Link [7] succ", "send show auth\n",
                           "F cmd[show auth] send succ", "state 30"};
const Effects kExitSent = {"stop 400", "send exit\n", "timer 500 30000", "state 40"};
const std::string kHeldLine = "E result file in use, path=[C:\\home\\result], rc=32, 2000 ms: ";

Effects Then(Effects first, const Effects& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

}  // namespace

TEST(SessionStateMachine, AnswersEachEventWithItsEffects)
{
    struct Row {
        const char* name;
        Start before;
        int event;
        Script script;
        Effects effects;
        const char* user = "user01";
    } rows[] = {
        {"connected", kLoggedIn, kEvtConnected, Frame(""), {"F connect succ"}},
        {"no socket", kLoggedIn, kEvtSocketCreateFailed, Frame(""), {"E socket create failed)"}},
        {"connect failed", kLoggedIn, kEvtConnectFailed, Frame(""), {"E connect failed. retry_count=0", "timer 300 1000", "state 1"}},
        {"capture not opened mid-answer", kIn21, kEvtCaptureOpenFailed, Frame(""),
         {"stop 400", "E OnCopyData:file open failed. retry=0", "timer 300 1000", "state 1"}},
        {"user name asked", kLoggedIn, kEvtUsernamePrompt, Frame(""), {"send admin\n", "F ID send succ"}},
        {"user name not sent", kLoggedIn, kEvtUsernamePrompt, Frame("", 0), {"send admin\n", "E ID send failed, ret=-1"}},
        {"password asked", kLoggedIn, kEvtPasswordPrompt, Frame(""), {"send qalvexor\n", "F PW send succ"}},
        {"password not sent", kLoggedIn, kEvtPasswordPrompt, Frame("", 0), {"send qalvexor\n", "E PW send failed, ret=-1"}},
        // A console that never stops asking (or has stopped reading) gets three answers per connection.
        {"password asked a fourth time", kAsked3Times, kEvtPasswordPrompt, Frame(""),
         {"E login failed: Password: asked for more than 3 times on this connection; the connection ends", "stop worker"}},
        {"user name after three passwords", kAsked3Times, kEvtUsernamePrompt, Frame(""), {"send admin\n", "F ID send succ"}},
        {"a new connection is asked afresh", AndFrames(kAsked3Times, {""}, kEvtConnected), kEvtPasswordPrompt, Frame(""),
         {"send qalvexor\n", "F PW send succ"}},
        {"welcome", kLoggedIn, kEvtLoginAccepted, Frame(""),
         {"F Login OK !!!", "replace", "send show summary\n", "F cmd[show summary] send succ", "state 20"}},
        // Another program holds result: it is deleted once let go, emptied in
        // place while held, and only when neither works the box, no command.
        {"welcome, the capture let go after a wait", kLoggedIn, kEvtLoginAccepted, Frame("", -1, Held(CaptureReplace::Deleted)),
         {"F Login OK !!!", "replace", kHeldLine + "deleted", "send show summary\n", "F cmd[show summary] send succ",
          "state 20"}},
        {"welcome, the capture held on", kLoggedIn, kEvtLoginAccepted, Frame("", -1, Held(CaptureReplace::EmptiedInPlace)),
         {"F Login OK !!!", "replace", kHeldLine + "emptied in place, through a handle shared with its holder",
          "send show summary\n", "F cmd[show summary] send succ", "state 20"}},
        {"welcome, old capture neither deleted nor emptied", kLoggedIn, kEvtLoginAccepted,
         Frame("", -1, Held(CaptureReplace::Kept)),
         {"F Login OK !!!", "replace", kHeldLine + "neither deleted nor emptied; no command is sent", "file box 32",
          "state 10"}},
        {"welcome, summary not sent", kLoggedIn, kEvtLoginAccepted, Frame("", 0),
         {"F Login OK !!!", "replace", "send show summary\n", "E cmd[show summary] send failed, ret=-1", "state 10"}},
        {"summary arriving", kIn20, kEvtAnswerCaptured, Frame("[] show summary\r\n"),
         {"F summary정보 수신 중 ...", kNewLine, "state 21"}},
        // The console's prompt after the rows closes the answer: no silence to wait for.
        {"user's row, then the prompt", kIn21, kEvtAnswerCaptured, Frame(SummaryRow(7, "  user01") + "[] "),
         Then({kNewLine, kFoundLast, "F Link[7]", "stop 400"}, kLinkSent)},
        // Each new line puts the answer's time limit back to its start.
        {"user's row, more rows to come", kIn21, kEvtAnswerCaptured, Frame(SummaryRow(7, "  user01") + SummaryRow(3, "    jkim")),
         {kNewLine}},
        {"user's row without its line end", kIn21, kEvtAnswerCaptured, Frame(SummaryRow(7, "  user01").substr(0, 40)), {}},
        {"listed twice in one frame: the last row decides", kIn21, kEvtAnswerCaptured,
         Frame(SummaryRow(3, "  user01") + SummaryRow(7, "  user01") + "[] "),
         Then({kNewLine, kFound, "~F Link[3]", kFoundLast, "F Link[7]", "stop 400"}, kLinkSent)},
        // Over a slow link each row comes in a receive of its own.
        {"a stale link, then the new one", AndFrames(kIn21, {SummaryRow(3, "  user01"), SummaryRow(7, "  user01")}),
         kEvtAnswerCaptured, Frame("[] "), Then({kFound, "~F Link[3]", kFoundLast, "F Link[7]", "stop 400"}, kLinkSent)},
        {"a user named after a header word", AndFrames(kIn21, {SummaryRow(7, "    User")}), kEvtAnswerCaptured, Frame("[] "),
         Then({kFound, "~F Link[LCP]", kFoundLast, "F Link[7]", "stop 400"}, kLinkSent), "User"},
        {"two Session-Timeout lines", AndFrames(kIn31, {"  Session-Timeout : 100\r\n", kTimeout}), kEvtAnswerCaptured,
         Frame("[7] "), Then({kTimeoutFound, "~F rTime[100]", kTimeoutFoundLast, "F rTime[3600]"}, kExitSent)},
        // Cut anywhere, an answer settles at the last byte of its prompt.
        {"summary byte by byte", ByteByByte(kIn20, kSummaryHead + SummaryRow(7, "  user01") + "[] "), kEvtAnswerCaptured,
         Frame(" "), Then({kFoundLast, "F Link[7]", "stop 400"}, kLinkSent)},
        {"auth byte by byte", ByteByByte(kIn30, kAuthHead + std::string(kTimeout) + "  Idle-Timeout : 1800\r\n[7] "),
         kEvtAnswerCaptured, Frame(" "), Then({kTimeoutFoundLast, "F rTime[3600]"}, kExitSent)},
        {"a later three-field row empties the link: wait for the silence", kIn21, kEvtAnswerCaptured,
         Frame(SummaryRow(7, "  user01") + "ng9\tuser01\tB9\r\n[] "), {kNewLine}},
        {"a link that is no name waits for the silence", kIn21, kEvtAnswerCaptured,
         Frame("ng7\tB7\tUp\t7 ; reboot\tOPENED\tpptp\tREADY\t  user01\t1.1.1.1\r\n[] "), {kNewLine}},
        {"auth arriving: the echo of link and its prompt close nothing", kIn30, kEvtAnswerCaptured,
         Frame("link 7\r\n[7] "), {"F auth정보 수신 중 ...", kNewLine, "state 31"}},
        {"session time, then the prompt", kIn31, kEvtAnswerCaptured, Frame(kTimeout + std::string("[7] ")),
         Then({kNewLine, kTimeoutFoundLast, "F rTime[3600]"}, kExitSent)},
        {"session time, more lines to come", kIn31, kEvtAnswerCaptured, Frame(kTimeout), {kNewLine}},
        {"a value of -1 waits for the silence", kIn31, kEvtAnswerCaptured, Frame("  Session-Timeout : -1\r\n[7] "), {kNewLine}},
        // A value without a number is a failed parse, and a later line still decides.
        {"a value that is no number, then a number", kIn31, kEvtAnswerCaptured,
         Frame("  Session-Timeout : none\r\n  Session-Timeout : 9\r\n[7] "),
         Then({kNewLine, kTimeoutFound, "~E 잔여시간 파싱 실패", kTimeoutFoundLast, "F rTime[9]"}, kExitSent)},
        {"frame while logged in only", kLoggedIn, kEvtAnswerCaptured, Frame(kTimeout + std::string("[] ")), {}},
        {"summary silence", kIn21, kEvtSummaryComplete, Frame(SummaryRow(7, "  user01")),
         Then({"stop 400", kFoundLast, "F Link[7]"}, kLinkSent)},
        {"summary silence: the unfinished last line counts", kIn21, kEvtSummaryComplete,
         Frame("ng7\tB7\tUp\t7\tOPENED\tpptp\tREADY\t  user01"), Then({"stop 400", kFoundLast, "F Link[7]"}, kLinkSent)},
        {"user not in the summary", kIn21, kEvtSummaryComplete, Frame(SummaryRow(3, "    jkim") + "[] "), {"stop 400", kNoLink}},
        {"a link that is no name", kIn21, kEvtSummaryComplete,
         Frame("ng7\tB7\tUp\t7 ; reboot\tOPENED\tpptp\tREADY\t  user01\t1.1.1.1\r\n"),
         {"stop 400", kFoundLast, "F Link[7 ; reboot]", "E Link[7 ; reboot] is not a link name"}},
        {"summary capture neither deleted nor emptied", kIn21, kEvtSummaryComplete,
         Frame(SummaryRow(7, "  user01"), -1, Held(CaptureReplace::Kept)),
         {"stop 400", kFoundLast, "F Link[7]", "replace", kHeldLine + "neither deleted nor emptied; no command is sent",
          "file box 32"}},
        {"link not sent", kIn21, kEvtSummaryComplete, Frame(SummaryRow(7, "  user01"), 0),
         {"stop 400", kFoundLast, "F Link[7]", "replace", "send link 7\n", "E send[link] failed, ret=-1"}},
        {"show auth not sent", kIn21, kEvtSummaryComplete, Frame(SummaryRow(7, "  user01"), 1),
         {"stop 400", kFoundLast, "F Link[7]", "replace", "send link 7\n", "F Link [7] succ", "send show auth\n",
          "E send[show auth] failed, ret=-1"}},
        {"auth silence", kIn31, kEvtAuthComplete, Frame(kTimeout),
         {"stop 400", kTimeoutFoundLast, "F rTime[3600]", "send exit\n", "timer 500 30000", "state 40"}},
        {"auth value missing", kIn31, kEvtAuthComplete, Frame("  Session-Timeout\r\n  Session-Timeout : 9\r\n"),
         {"stop 400", kTimeoutFoundLast, "E 잔여시간 파싱 실패"}},
        // A failure is decided at the silence only, and logged once there.
        {"a value of -1 at the silence", AndFrames(kIn31, {"  Session-Timeout : -1\r\n[7] "}), kEvtAuthComplete, Frame(""),
         {"stop 400", kTimeoutFoundLast, "F rTime[-1]", "E 잔여시간 파싱2 실패"}},
        {"a frame after the failed silence", AndFrames(AndFrames(kIn31, {"  Session-Timeout : -1\r\n"}), {""}, kEvtAuthComplete),
         kEvtAnswerCaptured, Frame("[7] "), {}},
        {"no auth line", kIn31, kEvtAuthComplete, Frame("% unknown\r\n"), {"stop 400", "E 잔여시간 파싱2 실패"}},
        {"closed", kLoggedIn, kEvtClosed, Frame(""), {"F close event"}},
        {"closed after exit", kIn40, kEvtClosed, Frame(""), {"stop 500", "F close event"}},
        {"receive failed mid-answer", kIn31, kEvtReceiveFailed, Frame(""), {"stop 400", "F recv error"}},
        {"unknown outcome", kLoggedIn, kEvtUnknownOutcome, Frame(""), {"box OnCopyData:recy_type error"}},
        {"notice time-out", kLoggedIn, kEvtNoticeTimeout, Frame(""), {"F recv Time-out"}},
        {"code 13", kLoggedIn, 13, Frame(""), {"box OnCopyData() command error. type=13"}},
        {"code 99", kLoggedIn, 99, Frame(""), {"box OnCopyData() command error. type=99"}},
        {"the notice's body", kLoggedIn, TypeOf(SessionEvent::NoticeBody), Frame(""),
         {"box OnCopyData() command error. type=100"}},
    };
    for (const Row& row : rows) {
        Conversation c(row.user);
        Prepare(c, row.before);
        EXPECT_EQ(c.Event(row.event, row.script), row.effects) << row.name;
    }
}

TEST(SessionStateMachine, RetriesThreeTimesInTheMonitorsLife)
{
    Conversation c;
    for (int i = 0; i < 4; ++i) {
        Effects expected = {"E connect failed. retry_count=" + std::to_string(i)};
        if (i < kMaxRetries)
            expected.push_back("timer 300 1000");
        if (i == 0 || i == 1)
            expected.push_back("state 1");
        // A login in between does not give the attempts back.
        if (i == 1)
            c.Event(kEvtLoginAccepted);
        EXPECT_EQ(c.Event(kEvtConnectFailed), expected) << "failure " << i;
    }
    EXPECT_EQ(c.machine.RetryCount(), 4);
}

TEST(SessionStateMachine, TimersActOnlyWhileRunningForTheirPurpose)
{
    {
        Conversation c;
        EXPECT_EQ(c.Step([](SessionStateMachine& m) { m.OnStart(); }),
                  (Effects{"worker", "timer 30 10000", "timer 3 300", "timer 200 3000"}))
            << "the VPN watch runs from the start, whatever the server does";
        EXPECT_EQ(c.Step([](SessionStateMachine& m) { m.OnAdapterWatch(true); }), Effects());
        EXPECT_EQ(c.Step([](SessionStateMachine& m) { m.OnAdapterWatch(false); }), Effects{"close"});
        Conversation watchless;
        EXPECT_EQ(watchless.Step([](SessionStateMachine& m) { m.OnAdapterWatch(false); }), Effects())
            << "a watch verdict before the watch started";
    }
    struct Row {
        const char* name;
        bool start;
        Start before;
        int rTime, timer;
        int64_t elapsed;
        Effects effects;
    } rows[] = {
        {"reminder before the time is known", true, {}, -1, kReminderTimer.id, 5, {}},
        {"reminder", true, {}, 650, kReminderTimer.id, 5, {"stop 3", "reminder 650"}},
        {"warning with 10 minutes to go", true, {}, 650, kWarningTimer.id, 50, {}},
        {"warning below 10 minutes", true, {}, 650, kWarningTimer.id, 51, {"stop 30", "warning 599"}},
        {"warning after the time ran out shows none left", true, {}, 650, kWarningTimer.id, 700, {"stop 30", "warning 0"}},
        {"warning with a clock gone back", true, {}, 650, kWarningTimer.id, 0, {}},
        {"warning before the time is known", true, {}, -1, kWarningTimer.id, 50, {}},
        {"warning with a clock set far back", true, {}, 2147483647, kWarningTimer.id, -(int64_t(1) << 40), {}},
        {"warning with a clock set far ahead", true, {}, 2147483647, kWarningTimer.id, int64_t(1) << 40,
         {"stop 30", "warning 0"}},
        {"reminder tick posted before the start", false, {}, 650, kReminderTimer.id, 5, {}},
        {"retry tick with no retry pending", true, {}, -1, kRetryTimer.id, 5, {}},
        {"retry tick after a failed connect", true, {{kEvtConnectFailed, ""}}, -1, kRetryTimer.id, 5,
         {"stop 300", "worker"}},
        {"the console holds on after exit", false, {}, 3600, kFarewellTimer.id, 40,
         {"stop 500", "W connection still open 30 s after exit: it ends", "stop worker"}},
        {"a summary still streaming after 30 s", false, kIn21, -1, kAnswerTimer.id, 40,
         {"stop 400", "E answer still arriving after 30 s: taken as failed", kNoLink, "stop worker"}},
        {"an auth answer still streaming after 30 s", false, kIn31, -1, kAnswerTimer.id, 40,
         {"stop 400", "E answer still arriving after 30 s: taken as failed", "E 잔여시간 파싱2 실패", "stop worker"}},
    };
    for (const Row& row : rows) {
        Conversation c;
        if (row.start)
            c.Step([](SessionStateMachine& m) { m.OnStart(); });
        Prepare(c, row.before);
        if (row.rTime > 0) {
            Prepare(c, kIn31);
            c.Event(kEvtAuthComplete, Frame("  Session-Timeout : " + std::to_string(row.rTime) + "\r\n"));
        }
        ASSERT_EQ(c.machine.SessionTime(), row.rTime) << row.name;
        auto tick = [&](SessionStateMachine& m) { m.OnTimer(row.timer, row.elapsed); };
        EXPECT_EQ(c.Step(tick), row.effects) << row.name;
        EXPECT_EQ(c.Step(tick), Effects()) << row.name << ": a second tick of a timer that has done its job";
    }
}
