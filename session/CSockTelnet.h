#pragma once
// The client end of one conversation: the administration server's telnet
// console in session mode, an HTTP answer in notice mode. It never decides
// what to send next; it reports each step to its owner window and waits
// while the window answers through SendAll.
#include "session/CBlockingSocket.h"
#include "session/ResultCapture.h"
#include "session/SessionMessage.h"
#include "session/TelnetFrame.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class LogFile;

enum SessionMode { kModeSession = 0, kModeNotice = 1 };

const int kAdminPort = 5005;
const int kFrameBufferSize = 1024;
const int kFrameTimeoutSec = 2;
const int kNoticeBufferSize = 10240;
const int kNoticeTimeoutSec = 10;
// What the login phase may put into the log as traffic dumps, per connection.
const int kDumpLimitBytes = 16 * 1024;
// How long a window waits for its worker to stop; a stop normally takes
// effect within kStopSliceMs.
const unsigned kWorkerStopWaitMs = 3000;

// Phases of a conversation; from kPhaseCapture on, frames go to the result file.
const int kPhaseIdle = 0;
const int kPhaseConnected = 10;
const int kPhaseCapture = 20;

// What the client shares with the window that owns it. The window outlives
// the client: it stops and waits for its worker before it lets any of these go.
struct SessionShared {
    LogFile* log = nullptr;                       // none in the notice process
    const std::atomic<int32_t>* state = nullptr;  // the window's session state
    std::wstring resultPath;                      // the capture file
};

class CSockTelnet : public CBlockingSocket {
public:
    CSockTelnet() = default;
    ~CSockTelnet() override;

    void Configure(HWND owner, const std::string& host, int port, int mode, const SessionShared& shared);
    // Connects and reports each step of the conversation to the window,
    // until the conversation is over.
    void ConnectAndReport();
    // The event that one round of receiving ends with.
    int RecvFrame();
    int RecvFrame_notice();
    void SendEvent(int type, const char* data = nullptr, int length = 0);

    // From the owner's thread: asks the conversation to end. Within about
    // kStopSliceMs the client's waits notice it; no event is sent after it.
    void Stop() { RequestStop(); }
    bool Stopping() const { return StopRequested(); }
    // From the owner's thread, for a client that did not end in time and is
    // left to run on to the end of the process: from here on it touches
    // nothing of its window (log, session state, window handle).
    void Detach();
    // From the owner's thread, while it handles this client's event: the
    // answer being captured is over, and the window is about to delete the file.
    void CloseCapture() { m_capture.Close(); }
    // The window's check of a WM_COPYDATA record: true once for the record
    // this client is delivering right now, whatever address it arrives at.
    bool TakeRecord(const COPYDATASTRUCT& record) { return m_inFlight.Take(record); }
    // The window the events go to; none once detached.
    HWND Owner() const
    {
        std::lock_guard<std::mutex> hold(m_sharedLock);
        return m_owner;
    }

private:
    void Log(int level, const std::string& text);
    void Dump(const char* data, int length);
    int AnswerCompleteEvent() const;
    int Capture(const std::string& text, int length);
    bool ResolveHost(sockaddr_in& address) const;

    int32_t m_mode = kModeSession;
    int32_t m_phase = kPhaseIdle;
    HWND m_owner = nullptr;
    std::string m_host;
    uint16_t m_port = 0;
    SessionShared m_shared;
    PromptCarry m_carry;
    std::string m_pendingCommand;  // a telnet command cut off by the last receive
    ResultCapture m_capture;
    int m_dumped = 0;  // bytes of this connection dumped into the log
    // Guards what the client shares with its window (log, state, window
    // handle) against Detach; never held across a call that waits on the window.
    mutable std::mutex m_sharedLock;
    InFlightRecord m_inFlight;
};
