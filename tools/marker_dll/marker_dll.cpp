// A DLL that only tells when it is loaded: the end-to-end tests put copies of
// it beside lumaro.exe under the names of the system DLLs the program uses
// (version.dll, iphlpapi.dll, ...), as someone who can write to the
// program's folder could. Each load appends one line to the file named by
// LUMARO_MARKER_FILE:  the DLL's path, a TAB, the program's path.
// It exports nothing, so a program that goes on to call into it fails.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char marker[MAX_PATH], dll[MAX_PATH], program[MAX_PATH], line[2 * MAX_PATH + 4];
    DWORD n = ::GetEnvironmentVariableA("LUMARO_MARKER_FILE", marker, sizeof marker);
    if (n == 0 || n >= sizeof marker)
        return TRUE;
    if (!::GetModuleFileNameA(self, dll, sizeof dll) || !::GetModuleFileNameA(nullptr, program, sizeof program))
        return TRUE;
    int length = wsprintfA(line, "%s\t%s\r\n", dll, program);
    HANDLE file = ::CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return TRUE;
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    ::CloseHandle(file);
    return TRUE;
}
