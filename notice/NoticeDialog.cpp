#include "notice/NoticeDialog.h"

#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "notice/NoticeConversation.h"
#include "notice/NoticeDate.h"
#include "notice/NoticeRequest.h"
#include "resource.h"
#include "session/SessionMessage.h"

#include <vector>

namespace {
std::string Today()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return NoticeDateText(now);
}
}

NoticeDialog::NoticeDialog(CWnd* parent) : CDialog(IDD_NOTICE_DIALOG, parent) {}

NoticeDialog::~NoticeDialog()
{
    m_pThread.reset();
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
    // The notice process has no log and no session state.
    m_pThread = StartSessionThread(this, m_host, m_port, kModeNotice, SessionShared());
    if (!m_pThread)
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
        if (m_pThread && m_pThread->Finished())
            m_pThread.reset();
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
    if (!m_pThread || !m_pThread->TakeRecord(record))
        return Default();
    int type = static_cast<int>(record->dwData);
    if (!AcceptSessionMessage(*record, m_msg)) {
        // The fetch is over; no notice will follow the refused one.
        EndQuietly();
        return Default();
    }
    std::vector<char> payload(kMaxEventPayload + 1, '\0');
    if (record->lpData && record->cbData > 1)
        memcpy(payload.data(), record->lpData, record->cbData - 1);

    switch (NoticeEventStep(type)) {
    case NoticeStep::SendRequest: {
        std::string request = BuildNoticeRequest(m_host);
        if (m_pThread->Send(request.data(), static_cast<int>(request.size())) <= 0)
            EndQuietly();
        break;
    }
    case NoticeStep::Show:
        m_notice = payload.data();
        m_mayShow = 1;
        ShowWindow(SW_SHOW);
        UpdateData(FALSE);
        break;
    case NoticeStep::End:
        EndQuietly();
        break;
    case NoticeStep::CommandError:
        m_msg = StrFormat("OnCopyData() command error. type=%d", type);
        AfxMessageBox(m_msg.c_str());
        EndQuietly();
        break;
    }
    return Default();
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
