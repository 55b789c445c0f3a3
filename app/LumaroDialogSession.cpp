// The main window's side of the conversation: it takes only its own worker's
// records, feeds them to the state machine and carries out what comes back;
// and it ends the session when the monitor ends.
#include "app/LumaroApp.h"
#include "app/LumaroDialog.h"
#include "framework/CFile.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "netinfo/PppChoice.h"
#include "session/SessionMessage.h"

#include <cstdio>
#include <memory>

namespace {

// The dialogs and boxes of this thread that run a modal loop of their own
// above the main window: each is told to close, so that the loops unwind.
BOOL CALLBACK CloseNestedModal(HWND hwnd, LPARAM keep)
{
    const HWND* kept = reinterpret_cast<const HWND*>(keep);
    if (hwnd == kept[0] || hwnd == kept[1] || !::IsWindowVisible(hwnd))
        return TRUE;
    char cls[16] = "";
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) != "#32770")
        return TRUE;
    // A box with an OK button alone takes no Cancel.
    bool okOnly = ::GetDlgItem(hwnd, IDOK) && !::GetDlgItem(hwnd, IDCANCEL);
    ::PostMessageA(hwnd, WM_COMMAND, okOnly ? IDOK : IDCANCEL, 0);
    return TRUE;
}

}  // namespace

int LumaroDialog::GetPppDns()
{
    return FindPppDns(m_adapters, m_log, m_ip);
}

void LumaroDialog::StartWorker()
{
    if (m_ending)
        return;
    m_pThread.reset();  // one that has ended but is not yet freed
    m_pThread = StartSessionThread(this, m_ip, theApp.m_nPort, kModeSession, {&m_log, &m_state, m_resultPath});
}

void LumaroDialog::OnWorkerEnded()
{
    // Anyone can post this message: only a worker that says so itself is freed.
    if (m_pThread && m_pThread->Finished())
        m_pThread.reset();
}

void LumaroDialog::StopWorker()
{
    // Moved out first: while it is waited for, its last records find no
    // worker here and are dropped.
    SessionWorker worker = std::move(m_pThread);
    m_stoppingWorker = worker.get();
    worker.reset();
    m_stoppingWorker = nullptr;
}

void LumaroDialog::EndSession()
{
    m_ending = true;
    if (m_hWnd)
        KillTimer(kTimerRetry);
    StopWorker();
}

void LumaroDialog::OnClose()
{
    // Once the summary is up, the monitor is ending already.
    if (m_ending)
        return;
    // "kill", the tray's end and the VPN watch end the monitor even while a
    // box, the file dialog or the reminder is open.
    HWND keep[2] = {m_hWnd, m_warning.m_hWnd};
    ::EnumThreadWindows(::GetCurrentThreadId(), CloseNestedModal, reinterpret_cast<LPARAM>(keep));
    // The dialog manager turns it into Cancel, which ends the modal loop.
    Default();
}

BOOL LumaroDialog::OnCopyData(CWnd*, COPYDATASTRUCT* record)
{
    // Only the record the running worker is delivering right now counts:
    // anything else, from another thread or process, could make this window
    // send the password, start workers or stack message boxes.
    if (!m_pThread || !m_pThread->TakeRecord(record)) {
        bool stopped = m_stoppingWorker && m_stoppingWorker->TakeRecord(record);
        if (record && !stopped && !m_foreignRecordLogged) {
            m_foreignRecordLogged = true;
            m_log.Write(kLogWarn, StrFormat("OnCopyData() record from another sender ignored. type=%d",
                                            static_cast<int>(record->dwData)).c_str());
        }
        return Default();
    }
    if (!AcceptSessionMessage(*record, m_msg))
        return Default();
    ++m_handlingEvent;
    Execute(m_session.OnEvent(static_cast<int>(record->dwData)));
    --m_handlingEvent;
    return Default();
}

void LumaroDialog::Execute(SessionActions actions)
{
    while (!actions.empty()) {
        SessionActions next;
        for (const SessionAction& a : actions) {
            switch (a.kind) {
            case SessionActionKind::Log:
                m_log.Write(a.number, a.text.c_str());
                break;
            case SessionActionKind::Send:
                next = m_session.OnSent(m_pThread ? m_pThread->Send(a.text.data(), static_cast<int>(a.text.size())) : 0);
                break;
            case SessionActionKind::SetState:
                m_state = a.number;
                break;
            case SessionActionKind::SetSessionTime:
                theApp.m_rTime = a.number;
                break;
            case SessionActionKind::DeleteCapture:
                next = m_session.OnCaptureDeleted(DeleteResultFile());
                break;
            case SessionActionKind::ReadCapture:
                next = ReadCapture();
                break;
            case SessionActionKind::StartTimer:
                SetTimer(static_cast<UINT_PTR>(a.number), static_cast<UINT>(a.period));
                break;
            case SessionActionKind::StopTimer:
                KillTimer(static_cast<UINT_PTR>(a.number));
                break;
            case SessionActionKind::ShowReminder:
                ShowReminder(a.number);
                break;
            case SessionActionKind::ShowWarning:
                RaiseWarning(a.number);
                break;
            case SessionActionKind::ShowBox:
                m_msg = a.text;
                AfxMessageBox(m_msg.c_str());
                break;
            case SessionActionKind::Retry:
                // A timer rather than a sleep: the window keeps answering
                // through the pause, and the old worker ends meanwhile.
                if (!m_ending)
                    SetTimer(kTimerRetry, kRetryPauseMs);
                break;
            case SessionActionKind::Close:
                PostMessage(WM_CLOSE);
                break;
            }
        }
        actions = std::move(next);
    }
}

SessionActions LumaroDialog::ReadCapture()
{
    // Text mode, so that CR LF is one line end; a line at a time, so that
    // nothing of the capture is held beyond the current line.
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(m_resultPath.c_str(), "rt"), std::fclose);
    if (!file)
        return m_session.OnCaptureEnd(false);
    ForEachTextLine(file.get(), [this](const std::string& line) {
        Execute(m_session.OnCaptureLine(line));
        return m_session.WantsCaptureLines();
    });
    file.reset();
    return m_session.OnCaptureEnd(true);
}

bool LumaroDialog::DeleteResultFile()
{
    if (!CFile::Exists(m_resultPath.c_str()))
        return true;
    return CFile::Remove(m_resultPath.c_str()) != FALSE;
}
