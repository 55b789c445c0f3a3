#include "framework/CWinApp.h"

#include "framework/CWnd.h"
#include "framework/Cp949.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::InitAppName()
{
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    m_appName = name;
    size_t dot = m_appName.rfind(L'.');
    if (dot != std::wstring::npos)
        m_appName.erase(dot);
}

void CWinApp::InitCommandLine(const wchar_t* commandLine)
{
    m_commandLine = Narrow(SkipProgramName(commandLine));
    m_lpCmdLine = &m_commandLine[0];
}

const wchar_t* SkipProgramName(const wchar_t* commandLine)
{
    const wchar_t* p = commandLine ? commandLine : L"";
    bool quoted = false;
    for (; *p > L' ' || (*p && quoted); ++p)
        if (*p == L'"')
            quoted = !quoted;
    while (*p && *p <= L' ')
        ++p;
    return p;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    if (g_app && g_app->m_hInstance)
        return g_app->m_hInstance;
    return ::GetModuleHandleW(nullptr);
}

CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}
