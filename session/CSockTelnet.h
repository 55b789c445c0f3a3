#pragma once
// The client end of one conversation: the administration server's telnet
// console in session mode, an HTTP answer in notice mode. It never decides
// what to send next; it reports each step to its owner window and waits
// while the window answers through its transport.
#include "session/CBlockingSocket.h"
#include "session/ResultCapture.h"
#include "session/SessionEvents.h"
#include "session/SessionMessage.h"
#include "session/TelnetFrame.h"
#include "session/TrafficLog.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class LogFile;

const int kAdminPort = 5005;
const int kFrameBufferSize = 1024;
const int kFrameTimeoutSec = 2;
const int kNoticeBufferSize = 10240;
const int kNoticeTimeoutSec = 10;
// The console asks for the login at once; one that talks this much, or this
// long, without a prompt is not the console, and the login ends.
const uint64_t kLoginWithoutPromptBytes = 64 * 1024;
const unsigned kLoginWithoutPromptMs = 30000;
// How long a window waits for its worker to stop; a stop normally takes
// effect within kStopSliceMs.
const unsigned kWorkerStopWaitMs = 3000;

// Phases of a conversation; from kPhaseCapture on, frames go to the result file.
const int kPhaseIdle = 0;
const int kPhaseConnected = 10;
const int kPhaseCapture = 20;

// What a worker is given by the window it works for. The window outlives the
// worker's use of them: it stops and waits for its worker, or detaches it,
// before it lets any of these go.
struct WorkerSettings {
    HWND owner = nullptr;  // where the events go; none: they are dropped
    std::string host;
    int port = 0;
    SessionMode mode = SessionMode::Session;
    LogFile* log = nullptr;                       // none in the notice process
    const std::atomic<int32_t>* state = nullptr;  // the conversation's state, which says when an answer is awaited
    std::wstring resultPath;                      // the capture file
};

class CSockTelnet : public CBlockingSocket {
public:
    CSockTelnet() = default;
    ~CSockTelnet() override;

    void Configure(const WorkerSettings& settings);
    // Connects and reports each step of the conversation to the window,
    // until the conversation is over.
    void ConnectAndReport();
    // The event that one round of receiving ends with.
    SessionEvent RecvFrame();
    SessionEvent RecvFrame_notice();
    void SendEvent(SessionEvent event, const char* data = nullptr, int length = 0, std::string_view captured = {});

    // From the owner's thread: asks the conversation to end. Within about
    // kStopSliceMs the client's waits notice it; no event is sent after it.
    void Stop() { RequestStop(); }
    bool Stopping() const { return StopRequested(); }
    // From the owner's thread, for a client that did not end in time and is
    // left to run on to the end of the process: from here on it touches
    // nothing of its window (log, state, window handle).
    void Detach();

    // From the owner's thread, while it handles this client's event: the
    // answer being captured is over and the capture is made empty for the next.
    CaptureReplaced ReplaceCapture();
    // The log as this connection's traffic may fill it.
    TrafficLog& Traffic() { return m_traffic; }
    // The window's check of a WM_COPYDATA record: true once for the record
    // this client is delivering right now, whatever address it arrives at,
    // with the bytes its frame added to the capture.
    bool TakeRecord(const COPYDATASTRUCT& record, std::string_view& captured)
    {
        return m_inFlight.Take(record, captured);
    }
    // The window the events go to; none once detached.
    HWND Owner() const
    {
        std::lock_guard<std::mutex> hold(m_sharedLock);
        return m_settings.owner;
    }

private:
    std::optional<SessionEvent> AnswerCompleteEvent() const;
    SessionEvent Capture(const std::string& text, int length, int received);
    bool ResolveHost(sockaddr_in& address) const;
    void LoginWaitBegins();
    bool LoginOverdue() const;

    int32_t m_phase = kPhaseIdle;
    WorkerSettings m_settings;
    TrafficLog m_traffic;
    PromptCarry m_carry;
    std::string m_pendingCommand;  // a telnet command cut off by the last receive
    ResultCapture m_capture;
    std::string m_captured;         // what the last frame added to the capture
    uint64_t m_answerReceived = 0;  // bytes received since the capture was last emptied
    uint64_t m_loginReceived = 0;   // bytes received since the last prompt
    ULONGLONG m_loginSince = 0;     // when the last prompt came
    // Guards what the client shares with its window (state, window handle)
    // against Detach; never held across a call that waits on the window.
    mutable std::mutex m_sharedLock;
    InFlightRecord m_inFlight;
};
