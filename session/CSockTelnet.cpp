#include "session/CSockTelnet.h"

#include "framework/Cp949.h"
#include "framework/Format.h"
#include "log/LogFile.h"
#include "session/NoticeResponse.h"
#include "session/ResultCapture.h"
#include "session/SessionMessage.h"
#include "session/SessionState.h"

#include <cstring>

CSockTelnet::~CSockTelnet()
{
    Cleanup();
}

void CSockTelnet::Configure(HWND owner, const std::string& host, int port, int mode, const SessionShared& shared)
{
    m_owner = owner;
    m_host = host;
    m_port = static_cast<uint16_t>(port & 0xFFFF);
    m_mode = mode;
    m_shared = shared;
}

void CSockTelnet::Detach()
{
    Log(kLogError, StrFormat("session worker did not stop within %u ms; left to the end of the process",
                             static_cast<unsigned>(kWorkerStopWaitMs)));
    std::lock_guard<std::mutex> hold(m_sharedLock);
    m_shared.log = nullptr;
    m_shared.state = nullptr;
    m_owner = nullptr;
}

void CSockTelnet::Log(int level, const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_sharedLock);
    if (m_shared.log)
        m_shared.log->Write(level, text.c_str());
}

void CSockTelnet::Dump(const char* data, int length)
{
    // A console that talks without end before its prompt must not fill the
    // log: the dumps of one connection stop at a fixed size, with one line.
    if (m_dumped >= kDumpLimitBytes)
        return;
    int shown = length < kDumpLimitBytes - m_dumped ? length : kDumpLimitBytes - m_dumped;
    m_dumped += shown;
    {
        std::lock_guard<std::mutex> hold(m_sharedLock);
        if (m_shared.log)
            m_shared.log->DumpTraffic(kDumpReceived, data, shown);
    }
    if (m_dumped >= kDumpLimitBytes)
        Log(kLogWarn, StrFormat("traffic dump stopped after %d bytes on this connection", kDumpLimitBytes));
}

void CSockTelnet::SendEvent(int type, const char* data, int length)
{
    HWND owner = Owner();
    // A stopped conversation reports nothing: its window is ending.
    if (!owner || Stopping())
        return;
    COPYDATASTRUCT record = MakeSessionMessage(type, data, length);
    m_inFlight.Publish(record);
    // Bytes, which neither form of the call translates.
    ::SendMessageA(owner, WM_COPYDATA, reinterpret_cast<WPARAM>(owner), reinterpret_cast<LPARAM>(&record));
    m_inFlight.Withdraw();
}

bool CSockTelnet::ResolveHost(sockaddr_in& address) const
{
    // An empty host would resolve to this machine; it means "no server".
    if (m_host.empty())
        return false;
    hostent* host = ::gethostbyname(m_host.c_str());
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0])
        return false;
    std::memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
    return true;
}

namespace {

// The events after which a worker has nothing more to say.
bool EndsConversation(int event)
{
    return event == kEvtClosed || event == kEvtReceiveFailed || event == kEvtUnknownOutcome ||
           event == kEvtCaptureOpenFailed || event == kEvtNoticeTimeout;
}

}  // namespace

void CSockTelnet::ConnectAndReport()
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = ::htons(m_port);
    bool resolved = ResolveHost(address);

    if (Stopping())
        return;
    if (Create(SOCK_STREAM) < 0) {
        SendEvent(kEvtSocketCreateFailed);
        return;
    }
    // Windows refuses a connect to 0.0.0.0, which is where a failed lookup
    // leaves the address; other stacks take it for this machine, so an
    // unresolved host is reported as the failed connect it would be.
    if (!resolved || Connect(address) < 0) {
        SendEvent(kEvtConnectFailed);
        return;
    }
    m_phase = kPhaseConnected;
    SendEvent(kEvtConnected);

    for (;;) {
        int event = m_mode == kModeSession ? RecvFrame() : RecvFrame_notice();
        // The notice went with its payload, and ends the conversation.
        if (event == kEvtNoticeBody)
            return;
        // From here on everything the server says is captured.
        if (event == kEvtLoginAccepted)
            m_phase = kPhaseCapture;
        SendEvent(event);
        if (EndsConversation(event))
            return;
    }
}

int CSockTelnet::AnswerCompleteEvent() const
{
    int state;
    {
        std::lock_guard<std::mutex> hold(m_sharedLock);
        if (!m_shared.state)
            return kNoEvent;
        state = m_shared.state->load();
    }
    // A 2-second silence ends an answer only while the window waits for one.
    if (state == kStateSummaryArriving)
        return kEvtSummaryComplete;
    if (state == kStateAuthArriving)
        return kEvtAuthComplete;
    return kNoEvent;
}

int CSockTelnet::Capture(const std::string& text, int length)
{
    CaptureAppend append = m_capture.Append(m_shared.resultPath, text.data(),
                                            static_cast<uint64_t>(length > 0 ? length : 0));
    // The log's lines are CP949: the path as such, '?' for what it lacks.
    const auto path = [this] { return Narrow(m_shared.resultPath); };
    if (append.rc == kCaptureOpenFailed) {
        if (!append.refusal.empty())
            Log(kLogError, StrFormat("result file refused, path=[%s]: %s", path().c_str(), append.refusal.c_str()));
        Log(kLogError, StrFormat("file open error, path=[%s]", path().c_str()));
        return kEvtCaptureOpenFailed;
    }
    // A frame that did not reach the disk whole (a full disk, say) ends the
    // conversation as a file that cannot be opened does: the answer parsed
    // would be a partial one.
    if (append.rc == kCaptureWriteFailed) {
        Log(kLogError, StrFormat("file write error, path=[%s], rc=%d", path().c_str(), static_cast<int>(append.error)));
        return kEvtCaptureOpenFailed;
    }
    if (m_capture.Full())
        Log(kLogError, StrFormat("result file full at %u bytes; the rest of the answer is dropped",
                                 static_cast<unsigned>(kCaptureLimitBytes)));
    return kEvtAnswerCaptured;
}

int CSockTelnet::RecvFrame()
{
    if (!m_hSocket)
        return kEvtClosed;
    char buffer[kFrameBufferSize];
    for (;;) {
        if (Stopping())
            return kEvtClosed;
        int n = Receive(buffer, kFrameBufferSize, kFrameTimeoutSec, 0);
        // A receive cut short by Stop is the end, not a failure.
        if (Stopping())
            return kEvtClosed;
        if (n == kReceiveTimedOut) {
            if (int complete = AnswerCompleteEvent())
                return complete;
            continue;
        }
        if (n == 0)
            return kEvtClosed;
        if (n < 0) {
            Log(kLogError, StrFormat("CSockTelnet::RecvFrame(), Receive() failed, rc=%d", n));
            return kEvtReceiveFailed;
        }

        TelnetSplit split = SplitTelnetCommands(NormaliseLineEnds(buffer, n), m_pendingCommand);
        if (!split.reply.empty())
            SendAll(split.reply.data(), static_cast<int>(split.reply.size()));

        // Once an answer has filled the capture, the rest of it costs
        // neither a record to the window nor a log line: only its silence
        // (or the window's limit on its time) ends it.
        if (m_phase >= kPhaseCapture && m_capture.Full())
            continue;
        int length = TextLength(split.text);
        Log(kLogFlow, StrFormat("CSockTelnet::RecvFrame(), recv_len=%d, length=%d", n, length));
        if (m_phase >= kPhaseCapture)
            return Capture(split.text, length);

        Dump(buffer, n);
        int event = ClassifyLoginFrame(m_carry, split.text, split.optionSeen);
        if (event != kNoEvent)
            return event;
        // A full buffer means more may be waiting: read on before looking at
        // the window's state.
        if (n == kFrameBufferSize)
            continue;
        if (int complete = AnswerCompleteEvent())
            return complete;
    }
}

int CSockTelnet::RecvFrame_notice()
{
    if (!m_hSocket)
        return kEvtClosed;
    std::string buffer(kNoticeBufferSize + 1, '\0');
    bool headSeen = false;
    for (;;) {
        int n = Receive(&buffer[0], kNoticeBufferSize, kNoticeTimeoutSec, 0);
        if (Stopping())
            return kEvtClosed;
        if (n == kReceiveTimedOut)
            return kEvtNoticeTimeout;
        if (n == 0)
            return kEvtClosed;
        if (n < 0) {
            Log(kLogError, StrFormat("CSockTelnet::RecvFrame_notice(), Receive() failed, rc=%d", n));
            return kEvtReceiveFailed;
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
                return kEvtReceiveFailed;
            }
            // Most servers send a small answer's head and body together; the
            // body is then the notice. A head alone means the next block is.
            int body = NoticeBodyOffset(buffer.data(), n);
            if (body < 0)
                continue;
            SendEvent(kEvtNoticeBody, buffer.data() + body, n - body);
            return kEvtNoticeBody;
        }
        SendEvent(kEvtNoticeBody, buffer.data(), n);
        return kEvtNoticeBody;
    }
}
