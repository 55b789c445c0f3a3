#include "framework/MessageBox.h"

#include "framework/CWinApp.h"
#include "framework/Cp949.h"

int AfxMessageBox(const char* text, UINT type)
{
    return AfxMessageBox(Widen(text ? text : ""), type);
}

int AfxMessageBox(const std::wstring& text, UINT type)
{
    CWinApp* app = AfxGetApp();
    if (app && app->m_appName.empty())
        app->InitAppName();
    const wchar_t* caption = app ? app->m_appName.c_str() : L"Lumaro";
    return ::MessageBoxW(::GetActiveWindow(), text.c_str(), caption, type);
}
