#include "session/CBlockingSocket.h"

#include "framework/Format.h"
#include "framework/MessageBox.h"

namespace {

timeval Slice(ULONGLONG ms)
{
    return {0, static_cast<long>(ms * 1000)};
}

}  // namespace

int CBlockingSocket::Create(int type)
{
    if (m_hSocket != 0) {
        AfxMessageBox("CBlockingSocket::Create() m_hSocket is not NULL");
        return -10;
    }
    SOCKET s = ::socket(AF_INET, type, 0);
    if (s == INVALID_SOCKET) {
        AfxMessageBox("CBlockingSocket::Create() socket() failed");
        return -20;
    }
    m_hSocket = s;
    return 0;
}

int CBlockingSocket::Connect(const sockaddr_in& address)
{
    if (m_hSocket == 0)
        return -10;
    // Connected without blocking, so that the wait for the stack's answer
    // can look at a stop request; the stack's own time-out still ends it.
    u_long nonBlocking = 1;
    ::ioctlsocket(m_hSocket, FIONBIO, &nonBlocking);
    bool connected = ::connect(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        while (!StopRequested()) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_SET(m_hSocket, &writable);
            FD_ZERO(&failed);
            FD_SET(m_hSocket, &failed);
            timeval slice = Slice(kStopSliceMs);
            int ready = ::select(0, nullptr, &writable, &failed, &slice);
            if (ready == 0)
                continue;
            // Windows reports a failed connect in the error set; other
            // stacks make the socket writable with an error pending.
            int error = 0;
            int size = sizeof error;
            connected = ready != SOCKET_ERROR && !FD_ISSET(m_hSocket, &failed) &&
                        ::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
                        error == 0;
            break;
        }
    }
    u_long blocking = 0;
    ::ioctlsocket(m_hSocket, FIONBIO, &blocking);
    return connected ? 0 : -20;
}

int CBlockingSocket::Receive(char* buffer, int size, int seconds, int flags)
{
    if (m_hSocket == 0) {
        AfxMessageBox("CBlockingSocket::Receive() m_hSocket is NULL");
        return -5;
    }
    const ULONGLONG start = ::GetTickCount64();
    const ULONGLONG limit = seconds < 0 ? ~0ULL : static_cast<ULONGLONG>(seconds) * 1000;
    for (;;) {
        if (StopRequested())
            return kSocketStopped;
        ULONGLONG spent = ::GetTickCount64() - start;
        ULONGLONG left = spent < limit ? limit - spent : 0;
        ULONGLONG slice = left < kStopSliceMs ? left : kStopSliceMs;
        fd_set readSet;
        FD_ZERO(&readSet);
        FD_SET(m_hSocket, &readSet);
        timeval timeout = Slice(slice);
        // The first argument is ignored by Windows Sockets.
        int ready = ::select(0, &readSet, nullptr, nullptr, &timeout);
        if (ready == 0) {
            if (left <= slice)
                return kReceiveTimedOut;
            continue;
        }
        if (ready == SOCKET_ERROR || !FD_ISSET(m_hSocket, &readSet))
            return -20;
        break;
    }
    int n = ::recv(m_hSocket, buffer, size, flags);
    if (n == SOCKET_ERROR)
        return -30;
    return n;
}

int CBlockingSocket::SendAll(const char* data, int length)
{
    if (length <= 0)
        return 0;
    if (m_sendStalled)
        return kSendTimedOut;
    // Sent without blocking, so that the wait for room in the buffers is
    // bounded and looks at a stop request; no other thread is in a call on
    // the socket meanwhile (the worker waits for its event to be handled).
    u_long nonBlocking = 1;
    ::ioctlsocket(m_hSocket, FIONBIO, &nonBlocking);
    const ULONGLONG start = ::GetTickCount64();
    int remaining = length;
    const char* position = data;
    int rc = length;
    while (remaining > 0) {
        int n = ::send(m_hSocket, position, remaining, 0);
        if (n > 0) {
            remaining -= n;
            position += n;
            continue;
        }
        if (n == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) {
            rc = n;
            break;
        }
        ULONGLONG spent = ::GetTickCount64() - start;
        if (StopRequested() || spent >= kSendWaitMs) {
            m_sendStalled = !StopRequested();
            rc = StopRequested() ? kSocketStopped : kSendTimedOut;
            break;
        }
        ULONGLONG left = kSendWaitMs - spent;
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(m_hSocket, &writable);
        timeval slice = Slice(left < kStopSliceMs ? left : kStopSliceMs);
        if (::select(0, nullptr, &writable, nullptr, &slice) == SOCKET_ERROR) {
            rc = SOCKET_ERROR;
            break;
        }
    }
    u_long blocking = 0;
    ::ioctlsocket(m_hSocket, FIONBIO, &blocking);
    return rc;
}

void CBlockingSocket::Cleanup()
{
    if (m_hSocket == 0)
        return;
    SOCKET s = m_hSocket;
    m_hSocket = 0;
    if (::closesocket(s) == SOCKET_ERROR)
        AfxMessageBox(StrFormat("CBlockingSocket::Cleanup() closesocket ERROR. m_hSocket=%d", static_cast<int>(s)).c_str());
}
