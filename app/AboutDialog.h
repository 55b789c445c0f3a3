#pragma once
#include "framework/CDialog.h"

#include <string>

class AboutDialog : public CDialog {
public:
    AboutDialog();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    std::string m_versionText;
};
