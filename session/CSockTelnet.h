#pragma once
// The client end of one conversation: the administration server's telnet
// console in session mode, an HTTP answer in notice mode. It never decides
// what to send next; it reports each step to its owner window and waits
// while the window answers through SendAll.
#include "session/CBlockingSocket.h"

#include <cstdint>
#include <string>
#include <vector>

class CWnd;
class LogFile;

enum SessionMode { kModeSession = 0, kModeNotice = 1 };

const int kFrameBufferSize = 1024;
const int kFrameTimeoutSec = 2;
const int kNoticeBufferSize = 10240;
const int kNoticeTimeoutSec = 10;

// Phases of a conversation; from kPhaseCapture on, frames go to the result file.
const int kPhaseIdle = 0;
const int kPhaseConnected = 10;
const int kPhaseCapture = 20;

class CSockTelnet : public CBlockingSocket {
public:
    CSockTelnet() = default;
    ~CSockTelnet() override;

    void Configure(CWnd* owner, const std::string& host, int port, int mode);
    void RunSession();
    int RecvFrame();
    int RecvFrame_notice();
    void SendEvent(int type, const char* data = nullptr, int length = 0);

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
};
