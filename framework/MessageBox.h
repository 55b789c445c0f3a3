#pragma once
// The simple message box: an OK button and the application's title, owned by
// the calling thread's active window.
#include <windows.h>

#include <string>

// `text` is CP949.
int AfxMessageBox(const char* text, UINT type = MB_OK);
// For a text that holds what CP949 may lack, such as a path.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);
