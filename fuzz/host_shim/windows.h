#pragma once
// The few pieces of <windows.h> the host build needs: the SYSTEMTIME of
// NoticeDateText and the kernel calls of the diagnostics log. The log's file
// calls are carried out on POSIX file descriptors (windows_posix.cpp), so that
// the real LogFile, mutex and all, runs natively where the thread sanitizer
// can watch its locking. They do what LogFile relies on under Windows: one
// shared file position, writes that land whole at it, truncation at it, sizes
// that follow the writes, link counts as the file system keeps them. Share
// modes, security attributes and overlapped I/O are accepted and ignored;
// GetLastError gives the thread's last failed call's errno, as the Windows
// code where the log tells causes apart (a missing file, access denied) and
// offset past every Windows code the log knows otherwise. Names and
// texts are ASCII on the host: the code page conversions (the log's CP949
// path in its lines) give '?' for anything else, and a file name holding
// anything else is refused.
#include <cstdint>

typedef unsigned short WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::int64_t LONGLONG;
typedef int BOOL;
typedef void* HANDLE;
typedef void* HLOCAL;
typedef wchar_t WCHAR;

#define TRUE 1
#define FALSE 0

// A descriptor fd is carried as fd + 1, so that no open file looks like the
// null handle; -1 stays the invalid one, as on Windows.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define INVALID_FILE_SIZE (static_cast<DWORD>(0xFFFFFFFF))
#define INVALID_SET_FILE_POINTER (static_cast<DWORD>(0xFFFFFFFF))

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_READ_ATTRIBUTES 0x0080
#define FILE_SHARE_READ 0x00000001
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_DEVICE 0x40
#define FILE_ATTRIBUTE_NORMAL 0x80
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000
#define ERROR_INVALID_FUNCTION 1
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_SHARING_VIOLATION 32
#define ERROR_LOCK_VIOLATION 33
#define ERROR_DELETE_PENDING 303
#define MOVEFILE_REPLACE_EXISTING 0x1
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define WC_NO_BEST_FIT_CHARS 0x400

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Only the 64-bit view; nothing on the host reads the halves.
union LARGE_INTEGER {
    LONGLONG QuadPart;
};

// Only what the plain-file check reads.
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    DWORD nNumberOfLinks;
};

// Only CREATE_ALWAYS, OPEN_ALWAYS and OPEN_EXISTING are known; any other
// disposition fails.
// FILE_FLAG_OPEN_REPARSE_POINT refuses to follow a symbolic link.
HANDLE CreateFileW(const WCHAR* name, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
int MultiByteToWideChar(unsigned codePage, DWORD flags, const char* text, int length, WCHAR* out, int room);
int WideCharToMultiByte(unsigned codePage, DWORD flags, const WCHAR* text, int length, char* out, int room,
                        const char* defaultChar, BOOL* usedDefault);
BOOL CloseHandle(HANDLE h);
// Writes all `size` bytes or fails, as a blocking WriteFile does.
BOOL WriteFile(HANDLE h, const void* data, DWORD size, DWORD* written, void* overlapped);
// One read: fewer bytes than asked is not an error, 0 bytes is the end of the file.
BOOL ReadFile(HANDLE h, void* data, DWORD size, DWORD* got, void* overlapped);
DWORD SetFilePointer(HANDLE h, LONG distance, LONG* distanceHigh, DWORD method);
BOOL SetEndOfFile(HANDLE h);
DWORD GetFileSize(HANDLE h, DWORD* sizeHigh);
BOOL GetFileSizeEx(HANDLE h, LARGE_INTEGER* size);
BOOL FlushFileBuffers(HANDLE h);
BOOL GetFileInformationByHandle(HANDLE h, BY_HANDLE_FILE_INFORMATION* info);
DWORD GetLastError();
void SetLastError(DWORD error);
void Sleep(DWORD ms);
// rename(), which replaces an existing file as MOVEFILE_REPLACE_EXISTING does.
BOOL MoveFileExW(const WCHAR* from, const WCHAR* to, DWORD flags);
void GetLocalTime(SYSTEMTIME* time);

// framework/ScopedHandle.h, which LogFile.h includes for AutoCloseHandle, also
// holds the owners of GDI, USER and mapped-view handles. Their types and calls
// are declared for it to compile and defined nowhere: host code that uses one
// fails to link.
typedef struct HWND__* HWND;
typedef struct HDC__* HDC;
typedef struct HICON__* HICON;
typedef HICON HCURSOR;
typedef struct HBITMAP__* HBITMAP;
typedef void* HGDIOBJ;
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
BOOL DeleteObject(HGDIOBJ obj);
BOOL DestroyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
BOOL IsWindow(HWND hwnd);
BOOL DestroyWindow(HWND hwnd);
BOOL UnmapViewOfFile(const void* view);
HLOCAL LocalFree(HLOCAL memory);
