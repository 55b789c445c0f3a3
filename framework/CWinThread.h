#pragma once
// A worker thread made from a class: created suspended, configured by its
// creator, resumed. Once InitInstance returns FALSE the thread ends; the
// object is its creator's to free, unless m_bAutoDelete is set TRUE, when it
// deletes itself.
#include <windows.h>

class CWinThread {
public:
    CWinThread() = default;
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    BOOL CreateThread(DWORD createFlags = 0, UINT stackSize = 0, LPSECURITY_ATTRIBUTES security = nullptr);
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
    BOOL SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }
    // Waits until the thread has ended, at most `ms`, serving meanwhile the
    // messages that other threads send to the calling thread's windows: a
    // thread blocked in SendMessage to us could not end otherwise. True when
    // it has ended (or there is no thread).
    bool WaitForEnd(DWORD ms = INFINITE);

    // Runs on the new thread. Returning FALSE ends the thread at once.
    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = FALSE;

private:
    static unsigned __stdcall ThreadEntry(void* param);
};

// Creates a T on a new thread of the given priority, like the framework's
// AfxBeginThread from a run-time class. Returns null when no thread could be made.
template <class T>
T* AfxBeginThread(int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0, DWORD createFlags = 0,
                  LPSECURITY_ATTRIBUTES security = nullptr)
{
    T* thread = new T;
    if (!thread->CreateThread(createFlags | CREATE_SUSPENDED, stackSize, security)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(priority);
    if (!(createFlags & CREATE_SUSPENDED))
        thread->ResumeThread();
    return thread;
}
