#include "notice/NoticeDialog.h"

#include "framework/MessageBox.h"
#include "notice/NoticeDate.h"
#include "notice/NoticeRequest.h"
#include "resource.h"
#include "session/SessionMessage.h"

namespace {
std::string Today()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return NoticeDateText(now);
}
}

NoticeDialog::NoticeDialog(CWnd* parent) : CDialog(IDD_NOTICE_DIALOG, parent), m_conversation(*this, m_transport) {}

NoticeDialog::~NoticeDialog()
{
    m_transport.Close();
}

void NoticeDialog::EndQuietly()
{
    EndDialog(IDCANCEL);
}

void NoticeDialog::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDOK, m_btnClose);
    DDX_Control(dx, IDC_NOTICE_TEXT, m_noticeBox);
    DDX_Text(dx, IDC_NOTICE_TEXT, m_notice);
    DDX_Check(dx, IDC_CHK_DAY, m_chk_day);
}

bool NoticeDialog::DeclinedToday() const
{
    return NoticeDeclinedOn(kNoticeDateRoots, Today());
}

BOOL NoticeDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (DeclinedToday())
        ::ExitProcess(0);

    m_btnClose.setShade(6, 8, 10, 0, 0);
    m_btnClose.setIcon(IDI_CLOSE, -2);

    m_host = NoticeHostFromCommand(m_command);
    m_port = kNoticePort;
    m_conversation.Configure(m_host);
    // The notice process has no log and no session state.
    WorkerSettings fetch;
    fetch.owner = m_hWnd;
    fetch.host = m_host;
    fetch.port = m_port;
    fetch.mode = SessionMode::Notice;
    m_transport.Configure(fetch);
    if (!m_transport.Connect())
        EndQuietly();
    return TRUE;
}

LRESULT NoticeDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COPYDATA:
        return OnCopyData(CWnd::FromHandlePermanent(reinterpret_cast<HWND>(wParam)),
                          reinterpret_cast<COPYDATASTRUCT*>(lParam));
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        return Default();
    case WM_SESSION_WORKER_ENDED:
        m_transport.OnWorkerEnded();
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void NoticeDialog::OnWindowPosChanging(WINDOWPOS* pos)
{
    if (!m_mayShow && pos)
        pos->flags &= ~SWP_SHOWWINDOW;
}

BOOL NoticeDialog::OnCopyData(CWnd*, COPYDATASTRUCT* record)
{
    // Only the fetch's own record counts: nothing else may pass for the notice.
    std::string_view captured;
    if (m_transport.Take(record, captured) != SessionTransport::Source::Running)
        return Default();
    if (!AcceptSessionMessage(*record, m_msg)) {
        // The fetch is over; no notice will follow the refused one.
        EndQuietly();
        return Default();
    }
    const char* bytes = static_cast<const char*>(record->lpData);
    m_conversation.OnRecord(static_cast<uint32_t>(record->dwData),
                            std::string_view(bytes ? bytes : "", bytes ? record->cbData - 1 : 0));
    return Default();
}

void NoticeDialog::ShowNotice(const std::string& text)
{
    m_notice = text;
    m_mayShow = 1;
    ShowWindow(SW_SHOW);
    UpdateData(FALSE);
}

void NoticeDialog::ShowBox(const std::string& text)
{
    m_msg = text;
    AfxMessageBox(m_msg.c_str());
}

void NoticeDialog::OnOK()
{
    UpdateData(TRUE);
    // A date that cannot be kept anywhere is said, and the dialog stays.
    if (m_chk_day && !StoreNoticeDate(kNoticeDateRoots, Today())) {
        AfxMessageBox("REG Create Error");
        return;
    }
    CDialog::OnOK();
}
