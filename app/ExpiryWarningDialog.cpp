#include "app/ExpiryWarningDialog.h"

#include "framework/Format.h"
#include "resource.h"

ExpiryWarningDialog::ExpiryWarningDialog(CWnd* parent) : CDialog(IDD_EXPIRY_WARNING, parent) {}

void ExpiryWarningDialog::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDOK, m_btnOk);
    DDX_Control(dx, IDC_WARNING_TEXT, m_lblWarning);
}

BOOL ExpiryWarningDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_btnOk.setShade(6, 8, 10, 0, 0);
    m_btnOk.setIcon(IDI_OK, -2);

    m_lblWarning.setFontBold(1);
    m_lblWarning.setTextColour(RGB(128, 128, 128));
    m_lblWarning.setFontSize(12);
    m_msg = StrFormat("%d분 후에 VPN연결이 끊어집니다 ", m_remainSec / 60);
    m_lblWarning.setText(m_msg.c_str());
    // No focus now: it would activate the dialog. The dialog manager gives
    // it once the user comes to the dialog.
    return FALSE;
}
