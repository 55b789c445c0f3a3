#include "session/CThreadSockTelnet.h"

CThreadSockTelnet::CThreadSockTelnet() = default;

CThreadSockTelnet::~CThreadSockTelnet()
{
    // Only a worker that has ended is freed (StopAndFreeWorker); this is
    // for one freed some other way.
    if (m_hThread && !WaitForEnd(0)) {
        m_client.Stop();
        WaitForEnd(INFINITE);
    }
}

void StopAndFreeWorker::operator()(CThreadSockTelnet* worker) const
{
    if (!worker)
        return;
    worker->Client().Stop();
    // A worker blocked in delivering an event to this thread's window is
    // served meanwhile; the window ignores what a stopped worker says.
    if (worker->WaitForEnd(kWorkerStopWaitMs)) {
        delete worker;
        return;
    }
    worker->Client().Detach();
}

BOOL CThreadSockTelnet::InitInstance()
{
    m_client.ConnectAndReport();
    m_client.Cleanup();
    HWND owner = m_client.Owner();
    m_finished.store(true);
    if (owner)
        ::PostMessageW(owner, WM_SESSION_WORKER_ENDED, 0, 0);
    return FALSE;
}

SessionWorker StartSessionThread(const WorkerSettings& settings)
{
    SessionWorker worker(AfxBeginThread<CThreadSockTelnet>(THREAD_PRIORITY_LOWEST, 0, CREATE_SUSPENDED));
    if (!worker)
        return nullptr;
    worker->Configure(settings);
    worker->ResumeThread();
    return worker;
}
