#include "widgets/Dpi.h"

#include "framework/CommonControls.h"

#include <cstddef>

namespace {
template <class Fn>
Fn FromUser32(const char* name)
{
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Fn>(::GetProcAddress(user32, name)) : nullptr;
}

UINT SystemDpi()
{
    // Windows 10 1607 and later; before, the screen's pixels per inch are the
    // system DPI for a process that is system aware.
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const auto forSystem = FromUser32<GetDpiForSystemFn>("GetDpiForSystem");
    if (forSystem)
        return forSystem();
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}
}

UINT DpiOfWindow(HWND hwnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow = FromUser32<GetDpiForWindowFn>("GetDpiForWindow");
    UINT dpi = (hwnd && forWindow) ? forWindow(hwnd) : 0;
    return dpi ? dpi : SystemDpi();
}

int ScaleToDpi(int length, UINT dpi)
{
    return ::MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

int SystemMetricForDpi(int index, UINT dpi)
{
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = FromUser32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, dpi) : ::GetSystemMetrics(index);
}

bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi)
{
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = FromUser32<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    // Without the per-DPI call, the block as it was before Vista added
    // iPaddedBorderWidth: every version accepts that size.
    const UINT size = forDpi ? sizeof metrics : offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
    metrics = NONCLIENTMETRICSW{};
    metrics.cbSize = size;
    if (forDpi)
        return forDpi(SPI_GETNONCLIENTMETRICS, size, &metrics, 0, dpi) != FALSE;
    return ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, size, &metrics, 0) != FALSE;
}

HICON LoadIconAtSize(HINSTANCE module, UINT id, int size)
{
    HICON icon = nullptr;
    if (SUCCEEDED(Comctl32::LoadIconWithScaleDown(module, MAKEINTRESOURCEW(id), size, size, &icon)) && icon)
        return icon;
    // Without the common controls 6: LoadImage takes an image of that size,
    // or stretches the nearest one.
    return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}
