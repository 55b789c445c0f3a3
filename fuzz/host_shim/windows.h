#pragma once
// The one piece of <windows.h> the host build needs: NoticeDateText's date.
typedef unsigned short WORD;

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
