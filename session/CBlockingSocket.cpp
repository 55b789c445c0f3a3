#include "session/CBlockingSocket.h"

#include "framework/Format.h"
#include "framework/MessageBox.h"

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
    std::lock_guard<std::mutex> hold(m_closeLock);
    if (m_aborted) {
        ::closesocket(s);
        return kSocketAborted;
    }
    m_hSocket = s;
    return 0;
}

int CBlockingSocket::Connect(const sockaddr_in& address)
{
    if (m_hSocket == 0)
        return -10;
    if (::connect(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR)
        return -20;
    return 0;
}

int CBlockingSocket::Receive(char* buffer, int size, int seconds, int flags)
{
    if (m_hSocket == 0) {
        AfxMessageBox("CBlockingSocket::Receive() m_hSocket is NULL");
        return -5;
    }
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(m_hSocket, &readSet);
    timeval timeout = {seconds, 0};
    // The first argument is ignored by Windows Sockets.
    int ready = ::select(static_cast<int>(m_hSocket + 1), &readSet, nullptr, nullptr,
                         seconds == -1 ? nullptr : &timeout);
    if (ready == 0)
        return kReceiveTimedOut;
    if (ready == SOCKET_ERROR || !FD_ISSET(m_hSocket, &readSet))
        return -20;
    int n = ::recv(m_hSocket, buffer, size, flags);
    if (n == SOCKET_ERROR)
        return -30;
    return n;
}

int CBlockingSocket::SendAll(const char* data, int length)
{
    int remaining = length;
    const char* position = data;
    while (remaining > 0) {
        int n = ::send(m_hSocket, position, remaining, 0);
        if (n <= 0)
            return n;
        remaining -= n;
        position += n;
    }
    return length - remaining;
}

void CBlockingSocket::Cleanup()
{
    SOCKET s = 0;
    bool close = false;
    {
        std::lock_guard<std::mutex> hold(m_closeLock);
        s = m_hSocket;
        close = s != 0 && !m_aborted;
        m_hSocket = 0;
    }
    if (close && ::closesocket(s) == SOCKET_ERROR)
        AfxMessageBox(StrFormat("CBlockingSocket::Cleanup() closesocket ERROR. m_hSocket=%d", static_cast<int>(s)).c_str());
}

void CBlockingSocket::Abort()
{
    std::lock_guard<std::mutex> hold(m_closeLock);
    if (m_aborted)
        return;
    m_aborted = true;
    if (m_hSocket != 0)
        ::closesocket(m_hSocket);
}
