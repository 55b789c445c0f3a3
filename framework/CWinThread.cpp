#include "framework/CWinThread.h"

#include <process.h>

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD createFlags, UINT stackSize, LPSECURITY_ATTRIBUTES security)
{
    unsigned id = 0;
    uintptr_t h = _beginthreadex(security, stackSize, &CWinThread::ThreadEntry, this,
                                 createFlags | CREATE_SUSPENDED, &id);
    if (!h)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_nThreadID = id;
    if (!(createFlags & CREATE_SUSPENDED))
        ::ResumeThread(m_hThread);
    return TRUE;
}

bool CWinThread::WaitForEnd(DWORD ms)
{
    if (!m_hThread)
        return true;
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        ULONGLONG spent = ::GetTickCount64() - start;
        DWORD left = ms == INFINITE ? INFINITE : (spent >= ms ? 0 : static_cast<DWORD>(ms - spent));
        DWORD woke = ::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, left, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1)
            return woke == WAIT_FAILED;  // timed out; a handle that cannot be waited on has no thread
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

unsigned __stdcall CWinThread::ThreadEntry(void* param)
{
    auto* thread = static_cast<CWinThread*>(param);
    thread->InitInstance();
    int code = thread->ExitInstance();
    if (thread->m_bAutoDelete)
        delete thread;
    return static_cast<unsigned>(code);
}
