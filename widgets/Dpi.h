#pragma once
// The scale a window is drawn at. The program declares per-monitor DPI
// awareness (res/lumaro.manifest): Windows then stretches none of its
// windows, and everything it draws itself is sized here, from its look at
// 100 % (96 DPI), so that at 100 % every picture stays what it always was.
//
// The per-DPI functions of Windows 10 are looked up in user32 at run time,
// never imported, so that the program still starts on Windows 7 and 8. There
// the process is system aware and one DPI, the system's, holds for every
// window; that is what each function answers without them.
#include <windows.h>

const UINT kDefaultDpi = 96;  // USER_DEFAULT_SCREEN_DPI: 100 %

// What a child window gets once its top-level window has moved to a monitor
// of another scale (Windows 10 1703 and later; the headers of a Windows 7
// build leave it out).
const UINT kWmDpiChangedAfterParent = 0x02E3;

// The DPI a window is drawn at; the system DPI for no window.
UINT DpiOfWindow(HWND hwnd);

// A length of the 96-DPI look at `dpi`, rounded to the nearest pixel.
int ScaleToDpi(int length, UINT dpi);

// GetSystemMetrics as it is at `dpi`.
int SystemMetricForDpi(int index, UINT dpi);

// The menu, caption and message fonts as Windows has them at `dpi`.
bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi);

// An icon resource at exactly `size` pixels, made for the caller: from an
// image of that size when the resource has one, else scaled down from a
// larger one. Null when the resource is missing.
HICON LoadIconAtSize(HINSTANCE module, UINT id, int size);
