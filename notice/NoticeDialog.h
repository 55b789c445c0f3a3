#pragma once
// The notice process's one window: hidden until the notice has arrived over
// HTTP, then shown with a box to skip it for the rest of the day.
#include "framework/CDialog.h"
#include "widgets/ShadeButton.h"

#include <cstdint>
#include <string>

class CThreadSockTelnet;

extern const char kNoticeRegistryPath[];
extern const char kNoticeRegistryValue[];
const int kNoticePort = 80;

class NoticeDialog : public CDialog {
public:
    explicit NoticeDialog(CWnd* parent = nullptr);

    std::string m_command;
    std::string m_host;
    int32_t m_port = 0;
    ShadeButton m_btnClose;
    std::string m_notice;
    int32_t m_chk_day = 0;
    int32_t m_mayShow = 0;
    CThreadSockTelnet* m_pThread = nullptr;
    std::string m_msg;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* record);
    void OnWindowPosChanging(WINDOWPOS* pos);

private:
    // The user already closed today's notice with the box ticked.
    bool DeclinedToday() const;
};
