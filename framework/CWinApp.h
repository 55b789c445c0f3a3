#pragma once
// The application object: one static instance per program, entered through
// InitInstance once WinMain has filled in the handle and the command line.
#include <windows.h>

#include <string>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns FALSE when the program should end without a message loop of
    // the application object itself.
    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }

    HINSTANCE m_hInstance = nullptr;
    char* m_lpCmdLine = nullptr;  // the text after the program name
    CWnd* m_pMainWnd = nullptr;
    // Caption of message boxes: the program file's name without extension.
    std::string m_appName;

    void InitAppName();
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
CWnd* AfxGetMainWnd();
