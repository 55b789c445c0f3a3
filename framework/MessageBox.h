#pragma once
// The simple message box: an OK button and the application's title, owned by
// the calling thread's active window.
#include <windows.h>

int AfxMessageBox(const char* text, UINT type = MB_OK);
