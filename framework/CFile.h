#pragma once
// File operations of the framework that report their own failures to the
// user, as the framework's file exceptions do, instead of returning silently.
#include <windows.h>

#include <string>

class CFile {
public:
    // The framework's error box for a file that could not be deleted.
    static void ReportRemoveFailure(const std::wstring& path, DWORD error);
};
