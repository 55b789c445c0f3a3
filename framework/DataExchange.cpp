#include "framework/DataExchange.h"

#include "framework/CWnd.h"

#include <vector>

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value)
{
    HWND ctl = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!ctl)
        return;
    if (dx->m_bSaveAndValidate) {
        int len = ::GetWindowTextLengthA(ctl);
        std::vector<char> buf(static_cast<size_t>(len > 0 ? len : 0) + 1);
        int got = ::GetWindowTextA(ctl, buf.data(), static_cast<int>(buf.size()));
        value.assign(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
    } else {
        ::SetWindowTextA(ctl, value.c_str());
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    HWND ctl = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!ctl)
        return;
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(ctl, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(ctl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}
