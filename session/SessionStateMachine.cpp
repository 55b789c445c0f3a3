// The main window's side of the conversation with the administration server:
// each event of the worker answered with the next command.
#include "app/LumaroApp.h"
#include "app/LumaroDialog.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "session/CThreadSockTelnet.h"
#include "session/SessionMessage.h"
#include "session/SessionState.h"

namespace {
const int kMaxRetries = 3;
const DWORD kRetryPauseMs = 1000;
}

void LumaroDialog::StartWorker()
{
    StartSessionThread(m_pThread, this, m_ip, theApp.m_nPort, kModeSession);
}

void LumaroDialog::RetryStep()
{
    int previous = m_retryCount;
    m_retryCount = previous + 1;
    if (previous < kMaxRetries) {
        // The old worker waits through this pause too; it ends by itself once
        // this handler returns, its conversation being over.
        ::Sleep(kRetryPauseMs);
        StartWorker();
    }
}

BOOL LumaroDialog::OnCopyData(CWnd*, COPYDATASTRUCT* record)
{
    if (!record)
        return Default();
    int type = static_cast<int>(record->dwData);
    if (!AcceptSessionMessage(*record, m_msg))
        return Default();

    switch (type) {
    case kEvtConnected:
        m_log.Write(kLogFlow, "connect succ");
        break;
    case kEvtSocketCreateFailed:
        m_log.Write(kLogError, "socket create failed)");
        break;
    case kEvtConnectFailed:
        m_state = kStateReconnecting;
        m_log.Write(kLogError, StrFormat("connect failed. retry_count=%d", m_retryCount).c_str());
        RetryStep();
        break;
    case kEvtUsernamePrompt:
    case kEvtPasswordPrompt: {
        bool id = type == kEvtUsernamePrompt;
        if (!m_pThread) {
            m_log.Write(kLogError, "통신 쓰레드 NULL");
            break;
        }
        std::string line = (id ? theApp.m_adminId : theApp.m_adminPw) + "\n";
        int ret = m_pThread->Send(line.data(), static_cast<int>(line.size()));
        if (ret > 0)
            m_log.Write(kLogFlow, id ? "ID send succ" : "PW send succ");
        else
            m_log.Write(kLogError, StrFormat(id ? "ID send failed, ret=%d" : "PW send failed, ret=%d", ret).c_str());
        break;
    }
    case kEvtLoginAccepted: {
        m_log.Write(kLogFlow, "Login OK !!!");
        m_state = kStateLoggedIn;
        if (!DeleteResultFile())
            break;
        if (!m_pThread) {
            m_log.Write(kLogError, "통신 쓰레드 NULL");
            break;
        }
        static const char kShowSummary[] = "show summary\n";
        int ret = m_pThread->Send(kShowSummary, sizeof kShowSummary - 1);
        if (ret > 0) {
            m_log.Write(kLogFlow, "cmd[show summary] send succ");
            m_state = kStateSummaryRequested;
        } else {
            m_log.Write(kLogError, StrFormat("cmd[show summary] send failed, ret=%d", ret).c_str());
        }
        break;
    }
    case kEvtAnswerCaptured:
        if (m_state == kStateSummaryRequested) {
            m_log.Write(kLogFlow, "summary정보 수신 중 ...");
            m_state = kStateSummaryArriving;
        }
        if (m_state == kStateAuthRequested) {
            m_log.Write(kLogFlow, "auth정보 수신 중 ...");
            m_state = kStateAuthArriving;
        }
        break;
    case kEvtSummaryComplete:
        ParseSummary();
        break;
    case kEvtAuthComplete:
        ParseAuth();
        SetTimer(kTimerAdapterWatch, kAdapterWatchPeriodMs);
        break;
    case kEvtClosed:
        m_log.Write(kLogFlow, "close event");
        break;
    case kEvtReceiveFailed:
        m_log.Write(kLogFlow, "recv error");
        break;
    case kEvtUnknownOutcome:
        AfxMessageBox("OnCopyData:recy_type error");
        break;
    case kEvtCaptureOpenFailed:
        m_state = kStateReconnecting;
        m_log.Write(kLogError, StrFormat("OnCopyData:file open failed. retry=%d", m_retryCount).c_str());
        RetryStep();
        break;
    case kEvtNoticeTimeout:
        m_log.Write(kLogFlow, "recv Time-out");
        break;
    default:
        m_msg = StrFormat("OnCopyData() command error. type=%d", type);
        AfxMessageBox(m_msg.c_str());
        break;
    }
    return Default();
}
