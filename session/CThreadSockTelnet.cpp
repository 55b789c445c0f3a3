#include "session/CThreadSockTelnet.h"

#include "framework/CWnd.h"

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
    worker->m_client.Stop();
    // A worker blocked in delivering an event to this thread's window is
    // served meanwhile; the window ignores what a stopped worker says.
    if (worker->WaitForEnd(kWorkerStopWaitMs)) {
        delete worker;
        return;
    }
    worker->m_client.Detach();
}

void CThreadSockTelnet::Configure(CWnd* owner, const std::string& host, int port, int mode,
                                  const SessionShared& shared)
{
    m_client.Configure(owner ? owner->m_hWnd : nullptr, host, port, mode, shared);
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

int CThreadSockTelnet::Send(const char* data, int length)
{
    return m_client.SendAll(data, length);
}

SessionWorker StartSessionThread(CWnd* owner, const std::string& host, int port, int mode,
                                 const SessionShared& shared)
{
    SessionWorker worker(
        AfxBeginThread<CThreadSockTelnet>(THREAD_PRIORITY_LOWEST, 0, CREATE_SUSPENDED));
    if (!worker)
        return nullptr;
    worker->Configure(owner, host, port, mode, shared);
    worker->ResumeThread();
    return worker;
}
