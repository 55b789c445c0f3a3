#include "session/CSockTelnet.h"

#include "framework/Cp949.h"
#include "framework/Format.h"
#include "log/LogFile.h"
#include "session/NoticeResponse.h"
#include "session/SessionState.h"

#include <cstring>

CSockTelnet::~CSockTelnet()
{
    Cleanup();
}

void CSockTelnet::Configure(const WorkerSettings& settings)
{
    m_settings = settings;
    m_traffic.Attach(settings.log);
}

void CSockTelnet::Detach()
{
    m_traffic.WriteOwn(kLogError, StrFormat("session worker did not stop within %u ms; left to the end of the process",
                                            static_cast<unsigned>(kWorkerStopWaitMs)));
    m_traffic.Detach();
    std::lock_guard<std::mutex> hold(m_sharedLock);
    m_settings.state = nullptr;
    m_settings.owner = nullptr;
}

void CSockTelnet::SendEvent(SessionEvent event, const char* data, int length, std::string_view captured)
{
    HWND owner = Owner();
    // A stopped conversation reports nothing: its window is ending.
    if (!owner || Stopping())
        return;
    COPYDATASTRUCT record = MakeSessionMessage(TypeOf(event), data, length);
    m_inFlight.Publish(record, captured);
    // Bytes, which neither form of the call translates.
    ::SendMessageA(owner, WM_COPYDATA, reinterpret_cast<WPARAM>(owner), reinterpret_cast<LPARAM>(&record));
    m_inFlight.Withdraw();
}

CaptureReplaced CSockTelnet::ReplaceCapture()
{
    m_answerReceived = 0;
    return m_capture.Replace(m_settings.resultPath);
}

bool CSockTelnet::ResolveHost(sockaddr_in& address) const
{
    // An empty host would resolve to this machine; it means "no server".
    if (m_settings.host.empty())
        return false;
    hostent* host = ::gethostbyname(m_settings.host.c_str());
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0])
        return false;
    std::memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
    return true;
}

void CSockTelnet::ConnectAndReport()
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<uint16_t>(m_settings.port & 0xFFFF));
    bool resolved = ResolveHost(address);

    if (Stopping())
        return;
    if (Create(SOCK_STREAM) < 0) {
        SendEvent(SessionEvent::SocketCreateFailed);
        return;
    }
    // Windows refuses a connect to 0.0.0.0, which is where a failed lookup
    // leaves the address; other stacks take it for this machine, so an
    // unresolved host is reported as the failed connect it would be.
    if (!resolved || Connect(address) < 0) {
        SendEvent(SessionEvent::ConnectFailed);
        return;
    }
    m_phase = kPhaseConnected;
    LoginWaitBegins();
    SendEvent(SessionEvent::Connected);

    for (;;) {
        SessionEvent event = m_settings.mode == SessionMode::Session ? RecvFrame() : RecvFrame_notice();
        // The notice went with its payload, and ends the conversation.
        if (event == SessionEvent::NoticeBody)
            break;
        // From here on everything the server says is captured.
        if (event == SessionEvent::LoginAccepted)
            m_phase = kPhaseCapture;
        SendEvent(event, nullptr, 0, event == SessionEvent::AnswerCaptured ? std::string_view(m_captured) : std::string_view());
        if (EndsConversation(event))
            break;
    }
    m_traffic.Close();
}

std::optional<SessionEvent> CSockTelnet::AnswerCompleteEvent() const
{
    int state;
    {
        std::lock_guard<std::mutex> hold(m_sharedLock);
        if (!m_settings.state)
            return std::nullopt;
        state = m_settings.state->load();
    }
    // A 2-second silence ends an answer only while the conversation waits for one.
    if (state == kStateSummaryArriving)
        return SessionEvent::SummaryComplete;
    if (state == kStateAuthArriving)
        return SessionEvent::AuthComplete;
    return std::nullopt;
}

void CSockTelnet::LoginWaitBegins()
{
    m_loginReceived = 0;
    m_loginSince = ::GetTickCount64();
}

bool CSockTelnet::LoginOverdue() const
{
    return m_loginReceived >= kLoginWithoutPromptBytes || ::GetTickCount64() - m_loginSince >= kLoginWithoutPromptMs;
}

SessionEvent CSockTelnet::Capture(const std::string& text, int length, int received)
{
    const bool wasFull = m_answerReceived >= kCaptureLimitBytes;
    m_answerReceived += static_cast<uint64_t>(received);
    CaptureAppend append = m_capture.Append(m_settings.resultPath, text.data(),
                                            static_cast<uint64_t>(length > 0 ? length : 0));
    // The log's lines are CP949: the path as such, '?' for what it lacks.
    const auto path = [this] { return Narrow(m_settings.resultPath); };
    if (append.rc == kCaptureOpenFailed) {
        if (!append.refusal.empty())
            m_traffic.WriteOwn(kLogError,
                               StrFormat("result file refused, path=[%s]: %s", path().c_str(), append.refusal.c_str()));
        m_traffic.WriteOwn(kLogError, StrFormat("file open error, path=[%s]", path().c_str()));
        return SessionEvent::CaptureOpenFailed;
    }
    // A frame that did not reach the disk whole (a full disk, say) ends the
    // conversation as a file that cannot be opened does: the answer read
    // would not be the one the file keeps.
    if (append.rc == kCaptureWriteFailed) {
        m_traffic.WriteOwn(kLogError, StrFormat("file write error, path=[%s], rc=%d", path().c_str(),
                                                static_cast<int>(append.error)));
        return SessionEvent::CaptureOpenFailed;
    }
    m_captured.assign(text.data(), static_cast<size_t>(append.written));
    if (!wasFull && (m_answerReceived >= kCaptureLimitBytes || m_capture.Full()))
        m_traffic.WriteOwn(kLogError, StrFormat("answer over %u bytes; the rest of it is dropped",
                                                static_cast<unsigned>(kCaptureLimitBytes)));
    return SessionEvent::AnswerCaptured;
}

SessionEvent CSockTelnet::RecvFrame()
{
    if (!m_hSocket)
        return SessionEvent::Closed;
    char buffer[kFrameBufferSize];
    for (;;) {
        if (Stopping())
            return SessionEvent::Closed;
        if (m_phase < kPhaseCapture && LoginOverdue()) {
            m_traffic.WriteOwn(kLogError, StrFormat("no login prompt in %u bytes and %u s from the console: the connection ends",
                                                    static_cast<unsigned>(m_loginReceived),
                                                    static_cast<unsigned>((::GetTickCount64() - m_loginSince) / 1000)));
            return SessionEvent::Closed;
        }
        int n = Receive(buffer, kFrameBufferSize, kFrameTimeoutSec, 0);
        // A receive cut short by Stop is the end, not a failure.
        if (Stopping())
            return SessionEvent::Closed;
        if (n == kReceiveTimedOut) {
            if (auto complete = AnswerCompleteEvent())
                return *complete;
            continue;
        }
        if (n == 0)
            return SessionEvent::Closed;
        if (n < 0) {
            m_traffic.WriteOwn(kLogError, StrFormat("CSockTelnet::RecvFrame(), Receive() failed, rc=%d", n));
            return SessionEvent::ReceiveFailed;
        }

        TelnetSplit split = SplitTelnetCommands(NormaliseLineEnds(buffer, n), m_pendingCommand);
        if (!split.reply.empty())
            SendAll(split.reply.data(), static_cast<int>(split.reply.size()));

        // Once an answer has reached its bound, the rest of it costs neither
        // a record to the window nor a log line: only its silence (or the
        // conversation's limit on its time) ends it.
        if (m_phase >= kPhaseCapture && (m_answerReceived >= kCaptureLimitBytes || m_capture.Full()))
            continue;
        int length = TextLength(split.text);
        m_traffic.Write(kLogFlow, StrFormat("CSockTelnet::RecvFrame(), recv_len=%d, length=%d", n, length));
        if (m_phase >= kPhaseCapture)
            return Capture(split.text, length, n);

        m_loginReceived += static_cast<uint64_t>(n);
        m_traffic.Dump(kDumpReceived, buffer, n);
        if (auto event = ClassifyLoginFrame(m_carry, split.text, split.optionSeen)) {
            LoginWaitBegins();
            return *event;
        }
        // A full buffer means more may be waiting: read on before looking at
        // the conversation's state.
        if (n == kFrameBufferSize)
            continue;
        if (auto complete = AnswerCompleteEvent())
            return *complete;
    }
}

SessionEvent CSockTelnet::RecvFrame_notice()
{
    if (!m_hSocket)
        return SessionEvent::Closed;
    std::string buffer(kNoticeBufferSize + 1, '\0');
    bool headSeen = false;
    for (;;) {
        int n = Receive(&buffer[0], kNoticeBufferSize, kNoticeTimeoutSec, 0);
        if (Stopping())
            return SessionEvent::Closed;
        if (n == kReceiveTimedOut)
            return SessionEvent::NoticeTimeout;
        if (n == 0)
            return SessionEvent::Closed;
        if (n < 0) {
            m_traffic.WriteOwn(kLogError, StrFormat("CSockTelnet::RecvFrame_notice(), Receive() failed, rc=%d", n));
            return SessionEvent::ReceiveFailed;
        }
        buffer[n] = '\0';
        if (!headSeen) {
            headSeen = true;
            // An error page or a proxy's answer is not the administrators'
            // notice: it ends the fetch as a failed receive does. The notice
            // process keeps no log; the debugger channel (DebugView on
            // Windows) is where the reason can be read.
            NoticeStatus status = ReadNoticeStatus(buffer.data(), n);
            if (!status.shown) {
                ::OutputDebugStringA(NoticeRefusedText(status).c_str());
                return SessionEvent::ReceiveFailed;
            }
            // Most servers send a small answer's head and body together; the
            // body is then the notice. A head alone means the next block is.
            int body = NoticeBodyOffset(buffer.data(), n);
            if (body < 0)
                continue;
            SendEvent(SessionEvent::NoticeBody, buffer.data() + body, n - body);
            return SessionEvent::NoticeBody;
        }
        SendEvent(SessionEvent::NoticeBody, buffer.data(), n);
        return SessionEvent::NoticeBody;
    }
}
