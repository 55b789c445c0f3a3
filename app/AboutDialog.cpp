#include "app/AboutDialog.h"

#include "app/LumaroApp.h"
#include "framework/Format.h"
#include "resource.h"

AboutDialog::AboutDialog() : CDialog(IDD_ABOUTBOX, nullptr) {}

BOOL AboutDialog::OnInitDialog()
{
    m_versionText = StrFormat("version %s", theApp.m_version.c_str());
    return CDialog::OnInitDialog();
}

void AboutDialog::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_ABOUT_VERSION, m_versionText);
}
