// The main window's side of the conversation: it takes only its own worker's
// records (its transport tells them apart), feeds them to the state machine
// and carries out the screen's effects; and it ends the session when the
// monitor ends.
#include "app/LumaroApp.h"
#include "app/LumaroDialog.h"
#include "framework/CFile.h"
#include "framework/Format.h"
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

void LumaroDialog::OnWorkerEnded()
{
    m_transport.OnWorkerEnded();
}

void LumaroDialog::EndSession()
{
    m_ending = true;
    // No connection starts from here on, not even one whose retry pause runs.
    m_transport.Close(m_handlingEvent > 0);
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
    std::string_view captured;
    SessionTransport::Source source = m_transport.Take(record, captured);
    if (source != SessionTransport::Source::Running) {
        if (source == SessionTransport::Source::Foreign && record && !m_foreignRecordLogged) {
            m_foreignRecordLogged = true;
            m_log.Write(kLogWarn, StrFormat("OnCopyData() record from another sender ignored. type=%d",
                                            static_cast<int>(record->dwData)).c_str());
        }
        return Default();
    }
    if (!AcceptSessionMessage(*record, m_msg))
        return Default();
    ++m_handlingEvent;
    m_session.OnRecord(static_cast<uint32_t>(record->dwData), captured);
    --m_handlingEvent;
    return Default();
}

// The conversation's effects on the screen.

void LumaroDialog::Log(int level, const std::string& text)
{
    m_log.Write(level, text.c_str());
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

void LumaroDialog::ShowFileError(const std::wstring& path, unsigned long error)
{
    CFile::ReportRemoveFailure(path, error);
}

void LumaroDialog::Close()
{
    PostMessage(WM_CLOSE);
}
