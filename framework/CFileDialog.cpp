#include "framework/CFileDialog.h"

#include "framework/CWnd.h"
#include "framework/Cp949.h"

#include <commdlg.h>

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : m_open(openFileDialog)
{
    if (filter) {
        m_filter = Widen(filter);
        for (wchar_t& c : m_filter)
            if (c == L'|')
                c = L'\0';
        m_filter.push_back(L'\0');
    }
    if (defaultExt)
        m_defExt = Widen(defaultExt);
    if (fileName)
        lstrcpynW(m_fileName, Widen(fileName).c_str(), MAX_PATH);

    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.lpstrFile = m_fileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrDefExt = m_defExt.empty() ? nullptr : m_defExt.c_str();
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL ok = m_open ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}
