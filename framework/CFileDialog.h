#pragma once
// The system's open/save file dialog. The filter uses the framework's
// notation, "name|pattern|name|pattern||".
#include <windows.h>

#include <string>

class CWnd;

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                const char* filter, CWnd* parent);
    INT_PTR DoModal();
    std::string GetPathName() const { return m_fileName; }

    OPENFILENAMEA m_ofn{};

private:
    BOOL m_open;
    std::string m_filter;
    std::string m_defExt;
    char m_fileName[MAX_PATH] = "";
};
