#pragma once
// The conversation with the administration server: the worker's events in,
// with the bytes each frame of an answer added to the capture; commands,
// the capture's emptying, log lines, timers and dialogs out, through the
// transport's and the screen's effects. It is the one owner of the session
// state, the session time, the attempts made and the timers it drives, and
// it reads each answer once, as it arrives.
#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "session/ResultParser.h"
#include "session/SessionEffects.h"
#include "session/SessionEvents.h"
#include "session/SessionState.h"

// The window timers the conversation drives, each with its period.
struct SessionTimer {
    int id;
    int periodMs;
};
constexpr SessionTimer kReminderTimer = {3, 300};         // the reminder, once the time is known
constexpr SessionTimer kWarningTimer = {30, 10000};       // the warning below 10 minutes
constexpr SessionTimer kAdapterWatchTimer = {200, 3000};  // the VPN watch, for the monitor's whole life
constexpr SessionTimer kRetryTimer = {300, 1000};         // the pause before a new connection attempt
constexpr SessionTimer kAnswerTimer = {400, 30000};       // how long an answer may go without a new line
constexpr SessionTimer kFarewellTimer = {500, 30000};     // how long the console may hold on after "exit"
const int kWarningThresholdSec = 600;
const int kMaxRetries = 3;
// A console that asks for the same login prompt again and again, or one
// that does so while it has stopped reading, gets no more than this many
// answers on one connection.
const int kMaxPromptAnswers = 3;

struct SessionSettings {
    std::string user;        // the user's name followed by one TAB
    std::string adminId;
    std::string adminPw;
    std::string resultPath;  // only named in log lines, as CP949
};

class SessionStateMachine {
public:
    SessionStateMachine(ScreenEffects& screen, TransportEffects& transport) : m_screen(screen), m_transport(transport) {}
    SessionStateMachine(const SessionStateMachine&) = delete;
    SessionStateMachine& operator=(const SessionStateMachine&) = delete;

    void Configure(SessionSettings settings) { m_settings = std::move(settings); }

    // The window knows its adapter and the server's address: the first
    // conversation, the reminder and warning checks and the VPN watch begin.
    void OnStart();
    // A record of the running worker, by its type code (a code no worker
    // sends is answered with a box), with what its frame added to the capture.
    void OnRecord(uint32_t type, std::string_view captured = {});
    void OnEvent(SessionEvent event, std::string_view captured = {});
    // A tick of one of the timers above; elapsed = seconds since the monitor
    // started. A tick of a timer the machine is not running does nothing,
    // whoever posted it.
    void OnTimer(int id, int64_t elapsed);
    bool TimerRunning(int id) const { return m_timers.count(id) != 0; }
    // The adapter watch's verdict, asked for only while the watch runs.
    void OnAdapterWatch(bool adapterPresent);

    int State() const { return m_state.load(); }
    int RetryCount() const { return m_retryCount; }
    // Seconds granted; <= 0 while the server has not said.
    int SessionTime() const { return m_rTime; }
    // What the worker reads while it waits for the end of an answer.
    const std::atomic<int32_t>* StateForWorker() const { return &m_state; }

private:
    enum class Answer { None, Summary, Auth };

    void ConnectionLost(const std::string& logText);
    void PromptAsked(SessionEvent prompt);
    void LoginAccepted();
    void AnswerArriving(std::string_view captured);
    // Empties the capture, so that it keeps the next answer alone; false
    // when it could not be emptied (the user has been told).
    bool BeginAnswer(Answer answer);
    // Scans the complete lines among the bytes the capture just gained;
    // the number of lines completed.
    int ReadAnswer(std::string_view captured);
    bool AnswerClosedByPrompt() const;
    void SummaryAtSilence();
    void AuthAtSilence();
    void DecideSummary(const SummaryScan& scan);
    void DecideAuth(const AuthScan& scan);
    // The scan's lines: the server's text caused them, but for those of the
    // last match (from its `matchLine` on), which the decision rests on.
    void WriteLog(const std::vector<ParseLogLine>& lines, const char* matchLine);
    void AnswerStreamingTooLong();
    void StartTimer(SessionTimer timer);
    void StopTimer(SessionTimer timer);

    ScreenEffects& m_screen;
    TransportEffects& m_transport;
    SessionSettings m_settings;
    std::atomic<int32_t> m_state{kStateConnecting};
    int m_retryCount = 0;  // failed attempts so far, never reset
    int m_usernameAnswers = 0;  // on this connection
    int m_passwordAnswers = 0;
    int m_rTime = -1;      // session time granted, seconds
    std::set<int> m_timers;  // ids of the timers running for the conversation

    // The answer being read: how far, its unfinished line, and what its
    // complete lines say so far.
    Answer m_answer = Answer::None;
    CaptureLineSplitter m_answerLines;
    SummaryScan m_summary;
    AuthScan m_auth{-1, {}, false};
};
