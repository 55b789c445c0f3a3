#pragma once
// One blocking TCP socket of Windows Sockets 1.1. Every call blocks its thread,
// so only the session worker receives on it; the main window sends on it while
// that worker waits for its event to be handled.
#include <windows.h>
#include <winsock.h>

#include <mutex>

class CBlockingSocket {
public:
    CBlockingSocket() = default;
    // Does not close the socket: the derived client's destructor calls Cleanup.
    virtual ~CBlockingSocket() = default;
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    // 0, -10 (a socket already exists), -20 (the system refused) or
    // kSocketAborted (Abort came first; no socket is made).
    int Create(int type);
    // 0, -10 (no socket) or -20 (the connect failed).
    int Connect(const sockaddr_in& address);
    // Bytes received (0: the peer closed in order), -5 (no socket),
    // kReceiveTimedOut (nothing within seconds), -20 (not readable), -30
    // (recv failed). seconds -1 waits without limit.
    int Receive(char* buffer, int size, int seconds, int flags);
    // length when all is sent, 0 for a length of 0 or less, else the failing
    // send's own result.
    int SendAll(const char* data, int length);
    void Cleanup();
    // From another thread: closes the socket so that a connect, select or
    // recv blocked on it returns at once (Windows interrupts blocking calls
    // on a closed socket; shutdown alone does not wake a select). The owner's
    // later calls then fail, and Cleanup has nothing left to close.
    void Abort();

    SOCKET m_hSocket = 0;

private:
    // Abort and Cleanup run on different threads: one of them closes.
    std::mutex m_closeLock;
    bool m_aborted = false;
};

const int kReceiveTimedOut = -10;
const int kSocketAborted = -30;
