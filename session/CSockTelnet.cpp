#include "session/CSockTelnet.h"

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
    std::lock_guard<std::mutex> hold(m_sharedLock);
    if (m_shared.log)
        m_shared.log->DumpTraffic(kDumpReceived, data, length);
}

void CSockTelnet::SendEvent(int type, const char* data, int length)
{
    HWND owner = Owner();
    // A stopped conversation reports nothing: its window is ending.
    if (!owner || Stopping())
        return;
    COPYDATASTRUCT record = MakeSessionMessage(type, data, length);
    m_inFlight.Publish(record);
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

void CSockTelnet::RunSession()
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
        m_raw.clear();
        m_reply.clear();
        int outcome = m_mode == kModeSession ? RecvFrame() : RecvFrame_notice();
        switch (outcome) {
        case kOutcomeClosed:
            SendEvent(kEvtClosed);
            return;
        case kOutcomeNoticeTimeout:
            SendEvent(kEvtNoticeTimeout);
            return;
        case kOutcomeCaptureOpenFailed:
            SendEvent(kEvtCaptureOpenFailed);
            return;
        case kOutcomeReceiveFailed:
            SendEvent(kEvtReceiveFailed);
            return;
        case kOutcomeEmptyText:
            break;
        case kOutcomeUsernamePrompt:
            SendEvent(kEvtUsernamePrompt);
            break;
        case kOutcomePasswordPrompt:
            SendEvent(kEvtPasswordPrompt);
            break;
        case kOutcomeWelcome:
            m_phase = kPhaseCapture;
            SendEvent(kEvtLoginAccepted);
            break;
        case kOutcomeCaptured:
            SendEvent(kEvtAnswerCaptured);
            break;
        case kOutcomeSummaryComplete:
            SendEvent(kEvtSummaryComplete);
            break;
        case kOutcomeAuthComplete:
            SendEvent(kEvtAuthComplete);
            break;
        case kOutcomeNoticeDelivered:
            return;
        default:
            Log(kLogError, StrFormat("recv_type ERROR type=%d", outcome));
            SendEvent(kEvtUnknownOutcome);
            return;
        }
    }
}

int CSockTelnet::AnswerCompleteOutcome() const
{
    int state;
    {
        std::lock_guard<std::mutex> hold(m_sharedLock);
        if (!m_shared.state)
            return 0;
        state = m_shared.state->load();
    }
    // A 2-second silence ends an answer only while the window waits for one.
    if (state == kStateSummaryArriving)
        return kOutcomeSummaryComplete;
    if (state == kStateAuthArriving)
        return kOutcomeAuthComplete;
    return 0;
}

int CSockTelnet::Capture(int length)
{
    const std::string& path = m_shared.resultPath;
    CaptureAppend append = AppendToCapture(path, m_text.data(), static_cast<uint64_t>(length > 0 ? length : 0));
    if (append.rc == kCaptureOpenFailed) {
        Log(kLogError, StrFormat("file open error, path=[%s]", path.c_str()));
        return kOutcomeCaptureOpenFailed;
    }
    // A frame that did not reach the disk whole (a full disk, say) ends the
    // conversation as a file that cannot be opened does: the answer parsed
    // would be a partial one.
    if (append.rc == kCaptureWriteFailed) {
        Log(kLogError, StrFormat("file write error, path=[%s], rc=%d", path.c_str(), static_cast<int>(append.error)));
        return kOutcomeCaptureOpenFailed;
    }
    if (append.sizeBefore < kCaptureLimitBytes)
        m_captureFull = false;  // a new answer: the window emptied the file
    if (append.cut && !m_captureFull) {
        m_captureFull = true;
        Log(kLogError, StrFormat("result file full at %u bytes; the rest of the answer is dropped",
                                 static_cast<unsigned>(kCaptureLimitBytes)));
    }
    return kOutcomeCaptured;
}

int CSockTelnet::RecvFrame()
{
    if (!m_hSocket)
        return kOutcomeClosed;
    char buffer[kFrameBufferSize];
    for (;;) {
        if (Stopping())
            return kOutcomeClosed;
        int n = Receive(buffer, kFrameBufferSize, kFrameTimeoutSec, 0);
        // A receive cut short by Stop is the end, not a failure.
        if (Stopping())
            return kOutcomeClosed;
        if (n == kReceiveTimedOut) {
            if (int outcome = AnswerCompleteOutcome())
                return outcome;
            continue;
        }
        if (n == 0)
            return kOutcomeClosed;
        if (n < 0) {
            Log(kLogError, StrFormat("CSockTelnet::RecvFrame(), Receive() failed, rc=%d", n));
            return kOutcomeReceiveFailed;
        }

        m_raw = NormaliseLineEnds(buffer, n);
        TelnetSplit split = SplitTelnetCommands(m_raw, m_pendingCommand);
        m_text = std::move(split.text);
        m_reply = std::move(split.reply);
        if (!m_reply.empty())
            SendAll(m_reply.data(), static_cast<int>(m_reply.size()));
        m_reply.clear();

        int length = TextLength(m_text);
        Log(kLogFlow, StrFormat("CSockTelnet::RecvFrame(), recv_len=%d, length=%d", n, length));

        if (m_phase >= kPhaseCapture)
            return Capture(length);

        Dump(buffer, n);
        int outcome = ClassifyLoginFrame(m_carry, m_text, split.optionSeen);
        if (outcome != kLoginTextNoPrompt)
            return outcome;

        m_raw.clear();
        m_reply.clear();
        // A full buffer means more may be waiting: read on before looking at
        // the window's state.
        if (n == kFrameBufferSize)
            continue;
        if (int complete = AnswerCompleteOutcome())
            return complete;
    }
}

int CSockTelnet::RecvFrame_notice()
{
    if (!m_hSocket)
        return kOutcomeClosed;
    std::string buffer(kNoticeBufferSize + 1, '\0');
    bool headSeen = false;
    for (;;) {
        int n = Receive(&buffer[0], kNoticeBufferSize, kNoticeTimeoutSec, 0);
        if (Stopping())
            return kOutcomeClosed;
        if (n == kReceiveTimedOut)
            return kOutcomeNoticeTimeout;
        if (n == 0)
            return kOutcomeClosed;
        if (n < 0) {
            Log(kLogError, StrFormat("CSockTelnet::RecvFrame_notice(), Receive() failed, rc=%d", n));
            return kOutcomeReceiveFailed;
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
                return kOutcomeReceiveFailed;
            }
            // Most servers send a small answer's head and body together; the
            // body is then the notice. A head alone means the next block is.
            int body = NoticeBodyOffset(buffer.data(), n);
            if (body < 0)
                continue;
            SendEvent(kEvtNoticeBody, buffer.data() + body, n - body);
            return kOutcomeNoticeDelivered;
        }
        SendEvent(kEvtNoticeBody, buffer.data(), n);
        return kOutcomeNoticeDelivered;
    }
}
