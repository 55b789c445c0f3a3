#pragma once
// The system's open/save file dialog. The filter uses the framework's
// notation, "name|pattern|name|pattern||"; the texts given are CP949, the
// path chosen is whatever the user picked, CP949 or not.
#include <windows.h>

#include <string>

class CWnd;

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                const char* filter, CWnd* parent);
    INT_PTR DoModal();
    std::wstring GetPathName() const { return m_fileName; }

    OPENFILENAMEW m_ofn{};

private:
    BOOL m_open;
    std::wstring m_filter;
    std::wstring m_defExt;
    wchar_t m_fileName[MAX_PATH] = L"";
};
