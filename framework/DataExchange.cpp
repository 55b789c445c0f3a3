#include "framework/DataExchange.h"

#include "framework/CWnd.h"
#include "framework/Cp949.h"

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
        int len = ::GetWindowTextLengthW(ctl);
        std::vector<wchar_t> buf(static_cast<size_t>(len > 0 ? len : 0) + 1);
        int got = ::GetWindowTextW(ctl, buf.data(), static_cast<int>(buf.size()));
        value = Narrow(std::wstring(buf.data(), got > 0 ? static_cast<size_t>(got) : 0));
    } else {
        // Up to a NUL, as the A function took it.
        ::SetWindowTextW(ctl, Widen(value.c_str()).c_str());
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    HWND ctl = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!ctl)
        return;
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(ctl, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(ctl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}
