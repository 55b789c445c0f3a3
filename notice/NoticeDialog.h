#pragma once
// The notice process's one window: hidden until the notice has arrived over
// HTTP, then shown with a box to skip it for the rest of the day.
#include "framework/CDialog.h"
#include "session/CThreadSockTelnet.h"
#include "widgets/ReadOnlyText.h"
#include "widgets/ShadeButton.h"

#include <cstdint>
#include <memory>
#include <string>

const int kNoticePort = 80;

class NoticeDialog : public CDialog {
public:
    explicit NoticeDialog(CWnd* parent = nullptr);
    ~NoticeDialog() override;

    std::string m_command;
    std::string m_host;
    int32_t m_port = 0;
    ShadeButton m_btnClose;
    ReadOnlyText m_noticeBox;
    std::string m_notice;
    int32_t m_chk_day = 0;
    int32_t m_mayShow = 0;
    // The fetch; it ends by itself, and is waited for when the dialog goes.
    SessionWorker m_pThread;
    std::string m_msg;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* record);
    void OnWindowPosChanging(WINDOWPOS* pos);

private:
    // Ends the hidden process: the modal loop returns and the process exits
    // with code 0 once the worker has been waited for.
    void EndQuietly();

    // The user already closed today's notice with the box ticked.
    bool DeclinedToday() const;
};
