#pragma once
// The worker thread of one conversation: created suspended, configured by its
// window, resumed; it runs the conversation once and deletes itself.
#include "framework/CWinThread.h"
#include "session/CSockTelnet.h"

#include <cstdint>
#include <string>

class CWnd;

class CThreadSockTelnet : public CWinThread {
public:
    void Configure(CWnd* owner, const std::string& host, int port, int mode);
    BOOL InitInstance() override;
    // Sends on the worker's socket from the owner window's thread, while the
    // worker waits for that window to handle its event.
    int Send(const char* data, int length);

    CSockTelnet m_client;
    CWnd* m_owner = nullptr;
    std::string m_host;
    int32_t m_port = 0;
    int32_t m_mode = kModeSession;
};

// Starts a conversation for `owner`: the thread is created suspended at the
// lowest priority, stored in `worker`, configured, then resumed. `worker` is
// null when no thread could be made.
void StartSessionThread(CThreadSockTelnet*& worker, CWnd* owner, const std::string& host, int port, int mode);
