#include "session/CBlockingSocket.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Answers every message box of this thread at once and keeps its text, so the
// misuse paths can run without a user to press OK.
class MessageBoxCatcher {
public:
    MessageBoxCatcher() : m_hook(SetWindowsHookExA(WH_CBT, &MessageBoxCatcher::Hook, nullptr, GetCurrentThreadId()))
    {
        s_texts.clear();
    }
    ~MessageBoxCatcher()
    {
        if (m_hook)
            UnhookWindowsHookEx(m_hook);
    }
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    const std::vector<std::string>& Texts() const { return s_texts; }

    // Without a display (a plain Wine run) no window, and so no message box,
    // can be made: the box returns at once and there is no text to check.
    void ExpectOnly(const std::string& text) const
    {
        HWND probe = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (!probe)
            GTEST_SKIP() << "no display here, so the message box text cannot be checked";
        DestroyWindow(probe);
        ASSERT_EQ(s_texts.size(), 1u) << "message boxes shown";
        EXPECT_EQ(s_texts[0], text);
    }

private:
    static BOOL CALLBACK CollectText(HWND child, LPARAM)
    {
        char cls[32] = {};
        char text[512] = {};
        GetClassNameA(child, cls, sizeof(cls));
        GetWindowTextA(child, text, sizeof(text));
        if (lstrcmpiA(cls, "Static") == 0 && text[0])
            s_texts.push_back(text);
        return TRUE;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_ACTIVATE) {
            HWND box = reinterpret_cast<HWND>(wParam);
            EnumChildWindows(box, &MessageBoxCatcher::CollectText, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK m_hook;
    static std::vector<std::string> s_texts;
};

std::vector<std::string> MessageBoxCatcher::s_texts;

sockaddr_in Loopback(u_short port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

class BlockingSocketTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    }
    static void TearDownTestSuite() { WSACleanup(); }

    void SetUp() override
    {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_NE(m_listener, INVALID_SOCKET);
        sockaddr_in a = Loopback(0);
        ASSERT_EQ(bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
        ASSERT_EQ(listen(m_listener, 4), 0);
        int len = sizeof(a);
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    void TearDown() override
    {
        m_client.Cleanup();
        if (m_peer != INVALID_SOCKET)
            closesocket(m_peer);
        closesocket(m_listener);
    }

    // m_client connected to m_peer over loopback.
    void Connect()
    {
        ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
        ASSERT_EQ(m_client.Connect(Loopback(m_port)), 0);
        m_peer = accept(m_listener, nullptr, nullptr);
        ASSERT_NE(m_peer, INVALID_SOCKET);
    }

    bool PeerHasData()
    {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(m_peer, &set);
        timeval none = {0, 200000};
        return select(0, &set, nullptr, nullptr, &none) == 1;
    }

    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_peer = INVALID_SOCKET;
    u_short m_port = 0;
    CBlockingSocket m_client;
};

}  // namespace

TEST_F(BlockingSocketTest, CreateHoldsANewSocketAndCleanupEmptiesIt)
{
    EXPECT_EQ(m_client.m_hSocket, 0u);
    ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
    EXPECT_NE(m_client.m_hSocket, 0u);
    m_client.Cleanup();
    EXPECT_EQ(m_client.m_hSocket, 0u);
}

TEST_F(BlockingSocketTest, CreateTwiceKeepsTheFirstSocketAndSaysSo)
{
    MessageBoxCatcher boxes;
    ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
    SOCKET first = m_client.m_hSocket;
    EXPECT_EQ(m_client.Create(SOCK_STREAM), -10);
    EXPECT_EQ(m_client.m_hSocket, first);
    EXPECT_EQ(m_client.Connect(Loopback(m_port)), 0) << "the first socket must still work";
    boxes.ExpectOnly("CBlockingSocket::Create() m_hSocket is not NULL");
}

TEST_F(BlockingSocketTest, RefusedCreateLeavesNoSocket)
{
    MessageBoxCatcher boxes;
    EXPECT_EQ(m_client.Create(12345), -20);
    EXPECT_EQ(m_client.m_hSocket, 0u);
    m_client.Cleanup();
    boxes.ExpectOnly("CBlockingSocket::Create() socket() failed");
}

TEST_F(BlockingSocketTest, ConnectReturnCodes)
{
    EXPECT_EQ(m_client.Connect(Loopback(m_port)), -10) << "no socket yet";

    // A port that was just free has nobody listening on it.
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    int len = sizeof(a);
    getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
    closesocket(probe);
    ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
    EXPECT_EQ(m_client.Connect(a), -20) << "connect to a closed port";
    m_client.Cleanup();

    ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
    EXPECT_EQ(m_client.Connect(Loopback(m_port)), 0);
}

TEST_F(BlockingSocketTest, ReceiveWithoutSocketReturnsMinus5AndSaysSo)
{
    MessageBoxCatcher boxes;
    char buf[16];
    EXPECT_EQ(m_client.Receive(buf, sizeof(buf), 0, 0), -5);
    boxes.ExpectOnly("CBlockingSocket::Receive() m_hSocket is NULL");
}

TEST_F(BlockingSocketTest, ReceiveWithNothingWaitingTimesOutAfterTheSecondsGivenAndAtOnceForZero)
{
    Connect();
    char buf[16];
    // 900 ms tells a wait of a second from none: 0 seconds is a single look,
    // which even a loaded machine ends long before.
    for (int seconds : {0, 1}) {
        DWORD start = GetTickCount();
        EXPECT_EQ(m_client.Receive(buf, sizeof(buf), seconds, 0), kReceiveTimedOut) << seconds << " s";
        DWORD took = GetTickCount() - start;
        EXPECT_EQ(took >= 900, seconds == 1) << seconds << " s took " << took << " ms";
    }
}

TEST_F(BlockingSocketTest, ReceiveTakesAtMostSizeBytes)
{
    Connect();
    ASSERT_EQ(send(m_peer, "0123456789", 10, 0), 10);
    char buf[16] = {};
    ASSERT_EQ(m_client.Receive(buf, 4, 2, 0), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    ASSERT_EQ(m_client.Receive(buf, sizeof(buf), 2, 0), 6);
    EXPECT_EQ(std::string(buf, 6), "456789");
}

TEST_F(BlockingSocketTest, ReceiveGetsDataThatArrivesDuringTheWait)
{
    Connect();
    std::thread late([this] {
        Sleep(300);
        send(m_peer, "late", 4, 0);
    });
    char buf[16];
    int n = m_client.Receive(buf, sizeof(buf), 10, 0);
    late.join();
    EXPECT_EQ(n, 4);
}

TEST_F(BlockingSocketTest, ReceiveAfterPeerCloseReturnsZero)
{
    Connect();
    closesocket(m_peer);
    m_peer = INVALID_SOCKET;
    char buf[16];
    EXPECT_EQ(m_client.Receive(buf, sizeof(buf), 2, 0), 0);
    EXPECT_NE(m_client.m_hSocket, 0u) << "a close by the peer leaves the handle to Cleanup";
}

TEST_F(BlockingSocketTest, ReceiveThatFailsReturnsMinus30)
{
    // A listening socket with a caller waiting is readable, but it has nothing to recv.
    ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
    sockaddr_in a = Loopback(0);
    ASSERT_EQ(bind(m_client.m_hSocket, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    ASSERT_EQ(listen(m_client.m_hSocket, 1), 0);
    int len = sizeof(a);
    getsockname(m_client.m_hSocket, reinterpret_cast<sockaddr*>(&a), &len);
    SOCKET caller = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(caller, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    char buf[16];
    EXPECT_EQ(m_client.Receive(buf, sizeof(buf), 2, 0), -30);
    closesocket(caller);
}

TEST_F(BlockingSocketTest, ReceiveOnAHandleThatIsGoneReturnsMinus20AndCleanupSaysSo)
{
    MessageBoxCatcher boxes;
    ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
    SOCKET stale = m_client.m_hSocket;
    closesocket(stale);
    char buf[16];
    EXPECT_EQ(m_client.Receive(buf, sizeof(buf), 0, 0), -20);
    m_client.Cleanup();
    EXPECT_EQ(m_client.m_hSocket, 0u) << "a failed close must still empty the handle";
    boxes.ExpectOnly("CBlockingSocket::Cleanup() closesocket ERROR. m_hSocket=" +
                     std::to_string(static_cast<int>(stale)));
}

TEST_F(BlockingSocketTest, SendAllOfNothingSendsNothing)
{
    Connect();
    EXPECT_EQ(m_client.SendAll("x", 0), 0);
    EXPECT_EQ(m_client.SendAll("x", -3), 0);
    EXPECT_FALSE(PeerHasData());
}

TEST_F(BlockingSocketTest, SendAllOfAMegabyteArrivesWhole)
{
    Connect();
    const int size = 1 << 20;
    std::string data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>(i * 7 + i / 251);
    std::string received;
    std::thread reader([&] {
        char buf[65536];
        int n;
        while (received.size() < data.size() && (n = recv(m_peer, buf, sizeof(buf), 0)) > 0)
            received.append(buf, n);
    });
    int sent = m_client.SendAll(data.data(), size);
    reader.join();
    EXPECT_EQ(sent, size);
    ASSERT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data) << "the bytes arrived changed or out of order";
}

TEST_F(BlockingSocketTest, SendAllToAPeerThatNeverReadsGivesUpAfterItsWaitAndFromThenOnAtOnce)
{
    Connect();
    const std::string flood(16 << 20, 'x');
    DWORD start = GetTickCount();
    EXPECT_EQ(m_client.SendAll(flood.data(), static_cast<int>(flood.size())), kSendTimedOut);
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, kSendWaitMs - 20) << "the wait for room is " << kSendWaitMs << " ms";
    EXPECT_LT(took, 30000u) << "a send to a peer that reads nothing must end";
    start = GetTickCount();
    EXPECT_EQ(m_client.SendAll("exit\n", 5), kSendTimedOut) << "a command may have gone in part: none follows";
    EXPECT_LT(GetTickCount() - start, kSendWaitMs) << "and no second wait";
}

TEST_F(BlockingSocketTest, SendAllOnUnconnectedSocketReturnsTheSendsFailure)
{
    ASSERT_EQ(m_client.Create(SOCK_STREAM), 0);
    EXPECT_EQ(m_client.SendAll("exit\n", 5), SOCKET_ERROR);
}

TEST_F(BlockingSocketTest, CleanupTwiceClosesOnce)
{
    MessageBoxCatcher boxes;
    Connect();
    m_client.Cleanup();
    EXPECT_EQ(m_client.m_hSocket, 0u);
    m_client.Cleanup();
    EXPECT_EQ(m_client.m_hSocket, 0u);
    EXPECT_TRUE(boxes.Texts().empty()) << "a second close was tried";
    char c;
    EXPECT_EQ(recv(m_peer, &c, 1, 0), 0) << "the peer must see the close";
}

TEST_F(BlockingSocketTest, DestructorLeavesTheSocketOpen)
{
    SOCKET handle;
    {
        CBlockingSocket s;
        ASSERT_EQ(s.Create(SOCK_STREAM), 0);
        handle = s.m_hSocket;
    }
    int type = 0;
    int len = sizeof(type);
    EXPECT_EQ(getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), 0)
        << "the handle was closed by the destructor";
    EXPECT_EQ(type, SOCK_STREAM);
    closesocket(handle);
}

TEST_F(BlockingSocketTest, StopFromAnotherThreadEndsAWaitWithinItsSliceAndLeavesTheSocketOpen)
{
    Connect();
    std::thread stopper([this] {
        Sleep(300);
        m_client.RequestStop();
    });
    char buf[16];
    DWORD start = GetTickCount();
    int n = m_client.Receive(buf, sizeof(buf), 10, 0);
    DWORD took = GetTickCount() - start;
    stopper.join();
    EXPECT_EQ(n, kSocketStopped) << "the stop was not noticed before the 10-second wait ended";
    // 300 ms before the request, then at most one slice: half the wait leaves a loaded machine seconds to spare.
    EXPECT_LT(took, 5000u) << "a stop should end a 10-second wait within a slice of " << kStopSliceMs << " ms";
    EXPECT_NE(m_client.m_hSocket, 0u) << "only the socket's own thread closes it";
}
