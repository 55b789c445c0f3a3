#pragma once
// The notice process's one window: hidden until the notice has arrived over
// HTTP, then shown with a box to skip it for the rest of the day.
#include "framework/CDialog.h"
#include "notice/NoticeConversation.h"
#include "session/SessionTransport.h"
#include "widgets/ReadOnlyText.h"
#include "widgets/ShadeButton.h"

#include <cstdint>
#include <string>

const int kNoticePort = 80;

class NoticeDialog : public CDialog, private NoticeScreen {
public:
    explicit NoticeDialog(CWnd* parent = nullptr);
    ~NoticeDialog() override;

    // The whole command line: the word notice, a blank and the server's address.
    void SetCommand(const std::string& command) { m_command = command; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* record);
    void OnWindowPosChanging(WINDOWPOS* pos);

private:
    void ShowNotice(const std::string& text) override;
    void ShowBox(const std::string& text) override;
    // The modal loop returns and the process exits with code 0 once the
    // worker has been waited for.
    void EndQuietly() override;
    // The user already closed today's notice with the box ticked.
    bool DeclinedToday() const;

    std::string m_command;
    std::string m_host;
    int32_t m_port = 0;
    ShadeButton m_btnClose;
    ReadOnlyText m_noticeBox;
    std::string m_notice;
    int32_t m_chk_day = 0;
    int32_t m_mayShow = 0;
    std::string m_msg;
    // The fetch's connection; it ends by itself, and is waited for when the dialog goes.
    SessionTransport m_transport;
    NoticeConversation m_conversation;
};
