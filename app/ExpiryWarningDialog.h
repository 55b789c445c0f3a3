#pragma once
// The one warning that the VPN connection will be cut in a few minutes;
// modeless, so the monitor goes on while it is up.
#include "framework/CDialog.h"
#include "widgets/Label.h"
#include "widgets/ShadeButton.h"

#include <cstdint>
#include <string>

class ExpiryWarningDialog : public CDialog {
public:
    explicit ExpiryWarningDialog(CWnd* parent = nullptr);

    int32_t m_remainSec = 0;
    ShadeButton m_btnOk;
    Label m_lblWarning;  // 1001
    std::string m_msg;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
};
