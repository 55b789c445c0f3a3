#pragma once
// Explicit data exchange between a dialog's members and its controls.
#include <windows.h>

#include <string>

class CWnd;

struct CDataExchange {
    BOOL m_bSaveAndValidate;  // TRUE: controls -> members
    CWnd* m_pDlgWnd;
};

// Attaches `control` to the dialog's control `id` the first time round.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// `value` is CP949; the control holds it as UTF-16.
void DDX_Text(CDataExchange* dx, int id, std::string& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
