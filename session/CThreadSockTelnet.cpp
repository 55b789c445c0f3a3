#include "session/CThreadSockTelnet.h"

void CThreadSockTelnet::Configure(CWnd* owner, const std::string& host, int port, int mode)
{
    m_owner = owner;
    m_host = host;
    m_port = port;
    m_mode = mode;
}

BOOL CThreadSockTelnet::InitInstance()
{
    m_client.Configure(m_owner, m_host, m_port, m_mode);
    m_client.RunSession();
    return FALSE;
}

int CThreadSockTelnet::Send(const char* data, int length)
{
    return m_client.SendAll(data, length);
}

void StartSessionThread(CThreadSockTelnet*& worker, CWnd* owner, const std::string& host, int port, int mode)
{
    worker = AfxBeginThread<CThreadSockTelnet>(THREAD_PRIORITY_LOWEST, 0, CREATE_SUSPENDED);
    if (!worker)
        return;
    worker->Configure(owner, host, port, mode);
    worker->ResumeThread();
}
