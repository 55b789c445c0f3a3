#pragma once
// File operations of the framework that report their own failures to the
// user, as the framework's file exceptions do, instead of returning silently.
#include <windows.h>

#include <string>

class CFile {
public:
    // Deletes the file, waiting briefly while another program holds it; on
    // failure shows the framework's error box and returns FALSE.
    static BOOL Remove(const std::wstring& path);
    static BOOL Exists(const std::wstring& path);
};
