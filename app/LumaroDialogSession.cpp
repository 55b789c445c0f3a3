// The main window's side of the conversation: it takes only its own worker's
// records, feeds them to the state machine and carries out what comes back;
// and it ends the session when the monitor ends.
#include "app/LumaroApp.h"
#include "app/LumaroDialog.h"
#include "framework/CFile.h"
#include "framework/FileInUse.h"
#include "framework/Format.h"
#include "framework/ScopedHandle.h"
#include "framework/MessageBox.h"
#include "netinfo/PppChoice.h"
#include "session/SessionMessage.h"

#include <memory>

namespace {

// The dialogs and boxes of this thread that run a modal loop of their own
// above the main window: each is told to close, so that the loops unwind.
BOOL CALLBACK CloseNestedModal(HWND hwnd, LPARAM keep)
{
    const HWND* kept = reinterpret_cast<const HWND*>(keep);
    if (hwnd == kept[0] || hwnd == kept[1] || !::IsWindowVisible(hwnd))
        return TRUE;
    wchar_t cls[16] = L"";
    ::GetClassNameW(hwnd, cls, 16);
    if (std::wstring(cls) != L"#32770")
        return TRUE;
    // A box with an OK button alone takes no Cancel.
    bool okOnly = ::GetDlgItem(hwnd, IDOK) && !::GetDlgItem(hwnd, IDCANCEL);
    ::PostMessageW(hwnd, WM_COMMAND, okOnly ? IDOK : IDCANCEL, 0);
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
    m_pThread = StartSessionThread(this, m_ip, theApp.m_nPort, kModeSession, {&m_log, m_session.StateForWorker(), m_resultPath});
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
    // No worker starts from here on, not even one whose retry pause runs.
    m_ending = true;
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
    m_session.OnEvent(static_cast<int>(record->dwData));
    --m_handlingEvent;
    return Default();
}

// The conversation's effects on this window.

void LumaroDialog::Log(int level, const std::string& text)
{
    m_log.Write(level, text.c_str());
}

int LumaroDialog::Send(const std::string& command)
{
    return m_pThread ? m_pThread->Send(command.data(), static_cast<int>(command.size())) : 0;
}

bool LumaroDialog::DeleteCapture()
{
    // The worker writes an answer through one handle, which must be gone
    // before the name can be used again.
    if (m_pThread)
        m_pThread->m_client.CloseCapture();
    if (!CFile::Exists(m_resultPath))
        return true;
    return CFile::Remove(m_resultPath) != FALSE;
}

bool LumaroDialog::ReadCaptureFrom(int64_t offset, const std::function<void(const char*, size_t)>& onBytes)
{
    // Shared with the worker's handle, which is writing the same answer, and
    // with whatever else looks at the file.
    AutoCloseHandle file(CreateFileWhenFree(m_resultPath.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL));
    if (!file.Valid())
        return false;
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    if (!::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN))
        return false;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        onBytes(buffer, got);
    return true;
}

void LumaroDialog::StartTimer(int id, int periodMs)
{
    SetTimer(static_cast<UINT_PTR>(id), static_cast<UINT>(periodMs));
}

void LumaroDialog::StopTimer(int id)
{
    KillTimer(static_cast<UINT_PTR>(id));
}

void LumaroDialog::ShowWarning(int remainSec)
{
    RaiseWarning(remainSec);
}

void LumaroDialog::ShowBox(const std::string& text)
{
    m_msg = text;
    AfxMessageBox(m_msg.c_str());
}

void LumaroDialog::AskWorkerToStop()
{
    if (m_pThread)
        m_pThread->m_client.Stop();
}

void LumaroDialog::Close()
{
    PostMessage(WM_CLOSE);
}
