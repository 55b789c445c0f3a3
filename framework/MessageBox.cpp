#include "framework/MessageBox.h"

#include "framework/CWinApp.h"

int AfxMessageBox(const char* text, UINT type)
{
    CWinApp* app = AfxGetApp();
    if (app && app->m_appName.empty())
        app->InitAppName();
    const char* caption = app ? app->m_appName.c_str() : "Lumaro";
    return ::MessageBoxA(::GetActiveWindow(), text ? text : "", caption, type);
}
