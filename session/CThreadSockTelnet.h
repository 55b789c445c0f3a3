#pragma once
// The worker thread of one conversation, owned by its transport: created
// suspended, configured, resumed; it runs the conversation once, tells its
// window that it has ended, and is freed by its transport.
#include "framework/CWinThread.h"
#include "session/CSockTelnet.h"

#include <atomic>
#include <memory>

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
    void Configure(const WorkerSettings& settings) { m_client.Configure(settings); }
    BOOL InitInstance() override;

    CSockTelnet& Client() { return m_client; }
    // Set just before WM_SESSION_WORKER_ENDED is posted.
    bool Finished() const { return m_finished.load(); }

private:
    CSockTelnet m_client;
    std::atomic<bool> m_finished{false};
};

// Starts a conversation: the thread is created suspended at the lowest
// priority, configured, then resumed. Null when no thread could be made.
SessionWorker StartSessionThread(const WorkerSettings& settings);
