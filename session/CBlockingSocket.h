#pragma once
// One blocking TCP socket of Windows Sockets 1.1. Every call blocks its thread,
// so only the session worker receives on it; the main window sends on it while
// that worker waits for its event to be handled.
#include <windows.h>
#include <winsock.h>

#include <atomic>

class CBlockingSocket {
public:
    CBlockingSocket() = default;
    // Does not close the socket: the derived client's destructor calls Cleanup.
    virtual ~CBlockingSocket() = default;
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    // 0, -10 (a socket already exists) or -20 (the system refused).
    int Create(int type);
    // 0, -10 (no socket) or -20 (the connect failed, or a stop was asked for).
    int Connect(const sockaddr_in& address);
    // Bytes received (0: the peer closed in order), -5 (no socket),
    // kReceiveTimedOut (nothing within seconds), -20 (not readable), -30
    // (recv failed) or kSocketStopped. seconds -1 waits without limit.
    int Receive(char* buffer, int size, int seconds, int flags);
    // length when all is sent, 0 for a length of 0 or less, kSendTimedOut
    // when the peer has taken nothing for kSendWaitMs (and from then on at
    // once: a command may have gone in part), kSocketStopped, else the
    // failing send's own result. A peer that stops reading must not hold
    // the caller, which may be the window's thread.
    int SendAll(const char* data, int length);
    void Cleanup();

    // From any thread: asks the thread that uses the socket to stop. Its
    // waits (connect, select) are cut into slices of kStopSliceMs that look
    // at the request. Nothing else is done to the socket here: Windows
    // forbids closing a socket while another thread is in a call on it, and
    // a closed handle's value may be given to a new socket at once.
    void RequestStop() { m_stop.store(true); }
    bool StopRequested() const { return m_stop.load(); }

    SOCKET m_hSocket = 0;

private:
    std::atomic<bool> m_stop{false};
    bool m_sendStalled = false;
};

const int kReceiveTimedOut = -10;
const int kSendTimedOut = -10;
const int kSocketStopped = -40;
const unsigned kSendWaitMs = 2000;
const unsigned kStopSliceMs = 200;
