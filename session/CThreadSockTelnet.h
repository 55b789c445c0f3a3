#pragma once
// The worker thread of one conversation, owned by the window that started
// it: created suspended, configured, resumed; it runs the conversation once,
// tells its window that it has ended, and is freed by that window.
#include "framework/CWinThread.h"
#include "session/CSockTelnet.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class CWnd;
class CThreadSockTelnet;

// Posted by a worker to its window once its conversation is over and it
// touches nothing of the window any more.
const UINT WM_SESSION_WORKER_ENDED = WM_APP + 1;

// Letting go of a worker asks it to stop and waits for its end, serving the
// records it sends meanwhile, for at most kWorkerStopWaitMs. One that has not
// ended by then (a message box of the socket layer on its thread, a slow name
// lookup) is detached from its window and left to the end of the process, so
// that no window hangs on its worker.
struct StopAndFreeWorker {
    void operator()(CThreadSockTelnet* worker) const;
};
using SessionWorker = std::unique_ptr<CThreadSockTelnet, StopAndFreeWorker>;

class CThreadSockTelnet : public CWinThread {
public:
    CThreadSockTelnet();
    ~CThreadSockTelnet() override;

    // Before the thread resumes: the client's settings, given once.
    void Configure(CWnd* owner, const std::string& host, int port, int mode, const SessionShared& shared);
    BOOL InitInstance() override;
    // Sends on the worker's socket from the owner window's thread, while the
    // worker waits for that window to handle its event.
    int Send(const char* data, int length);

    // True once for the record this worker is delivering right now: a window
    // acts on nothing else, whoever sent it.
    bool TakeRecord(const COPYDATASTRUCT* record) { return record && m_client.TakeRecord(*record); }
    // Set just before WM_SESSION_WORKER_ENDED is posted.
    bool Finished() const { return m_finished.load(); }

    CSockTelnet m_client;

private:
    std::atomic<bool> m_finished{false};
};

// Starts a conversation for `owner`: the thread is created suspended at the
// lowest priority, configured, then resumed. Null when no thread could be made.
SessionWorker StartSessionThread(CWnd* owner, const std::string& host, int port, int mode,
                                 const SessionShared& shared);
