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
    // The text after the program name, in CP949: read wide, so that it does
    // not depend on the ANSI code page; what CP949 lacks is '?'.
    char* m_lpCmdLine = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // Caption of message boxes: the program file's name without extension.
    std::wstring m_appName;

    void InitAppName();
    // Takes the process's command line (GetCommandLineW) into m_lpCmdLine.
    void InitCommandLine(const wchar_t* commandLine);

private:
    std::string m_commandLine;
};

// What follows the program name of a command line, as the C runtime hands it
// to WinMain: the name runs to the first blank or control character outside
// double quotes, and the blanks after it are skipped.
const wchar_t* SkipProgramName(const wchar_t* commandLine);

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
CWnd* AfxGetMainWnd();
