#pragma once
// The client end of one conversation: the administration server's telnet
// console in session mode, an HTTP answer in notice mode. It never decides
// what to send next; it reports each step to its owner window and waits
// while the window answers through SendAll.
#include "session/CBlockingSocket.h"
#include "session/TelnetFrame.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class LogFile;

enum SessionMode { kModeSession = 0, kModeNotice = 1 };

const int kAdminPort = 5005;
const int kFrameBufferSize = 1024;
const int kFrameTimeoutSec = 2;
const int kNoticeBufferSize = 10240;
const int kNoticeTimeoutSec = 10;

// Phases of a conversation; from kPhaseCapture on, frames go to the result file.
const int kPhaseIdle = 0;
const int kPhaseConnected = 10;
const int kPhaseCapture = 20;

// What the client shares with the window that owns it. The window outlives
// the client: it stops and waits for its worker before it lets any of these go.
struct SessionShared {
    LogFile* log = nullptr;                       // none in the notice process
    const std::atomic<int32_t>* state = nullptr;  // the window's session state
    std::string resultPath;                       // the capture file
};

class CSockTelnet : public CBlockingSocket {
public:
    CSockTelnet() = default;
    ~CSockTelnet() override;

    void Configure(HWND owner, const std::string& host, int port, int mode, const SessionShared& shared);
    void RunSession();
    int RecvFrame();
    int RecvFrame_notice();
    void SendEvent(int type, const char* data = nullptr, int length = 0);

    // From the owner's thread: ends the conversation at once. No event is
    // sent after this, and the client's blocking call returns.
    void Stop();
    bool Stopping() const { return m_stop.load(); }
    // The record this client is delivering right now, or null: only the
    // client's own thread sets it, so no other sender can pass for it.
    const COPYDATASTRUCT* RecordInFlight() const { return m_inFlight.load(); }

    int32_t m_mode = kModeSession;
    int32_t m_phase = kPhaseIdle;
    std::string m_msg;
    HWND m_owner = nullptr;
    LogFile* m_pLog = nullptr;
    std::string m_host;
    uint16_t m_port = 0;
    std::string m_reply;
    std::string m_raw;
    std::string m_text;
    std::vector<std::string> m_options;

private:
    void Log(int level, const std::string& text);
    int AnswerCompleteOutcome() const;
    int Capture(int length);
    bool ResolveHost(sockaddr_in& address) const;

    SessionShared m_shared;
    PromptCarry m_carry;
    bool m_captureFull = false;  // the capture's size limit has been logged
    std::atomic<bool> m_stop{false};
    std::atomic<const COPYDATASTRUCT*> m_inFlight{nullptr};
};
