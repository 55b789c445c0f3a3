#include "WidgetsTestWindow.h"

#include <cstdio>

TestCanvas::TestCanvas(int width, int height, COLORREF fill) : m_width(width), m_height(height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, so row y is y
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_dc = ::CreateCompatibleDC(nullptr);
    m_bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<DWORD*>(bits);
    m_previous = ::SelectObject(m_dc, m_bitmap);
    this->fill(fill);
}

TestCanvas::~TestCanvas()
{
    ::SelectObject(m_dc, m_previous);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
}

void TestCanvas::fill(COLORREF colour)
{
    HBRUSH brush = ::CreateSolidBrush(colour);
    RECT all{0, 0, m_width, m_height};
    ::FillRect(m_dc, &all, brush);
    ::DeleteObject(brush);
}

COLORREF TestCanvas::pixel(int x, int y) const
{
    ::GdiFlush();
    DWORD value = m_bits[static_cast<size_t>(y) * m_width + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

TestParentWindow::~TestParentWindow()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

bool TestParentWindow::create(int width, int height)
{
    static const char kClass[] = "LumaroWidgetsTestParent";
    WNDCLASSA cls{};
    cls.lpfnWndProc = ::DefWindowProcA;
    cls.hInstance = ::GetModuleHandleA(nullptr);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kClass;
    ::RegisterClassA(&cls);  // fails harmlessly when already registered
    HWND hwnd = ::CreateWindowExA(WS_EX_TOPMOST, kClass, "widgets test", WS_POPUP | WS_VISIBLE, 100, 100, width,
                                  height, nullptr, nullptr, cls.hInstance, nullptr);
    if (!hwnd)
        return false;
    SubclassWindow(hwnd);
    ::UpdateWindow(hwnd);
    return true;
}

HWND TestParentWindow::addButton(int id, const char* text, DWORD style, const RECT& rect)
{
    return ::CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr),
                             nullptr);
}

LRESULT TestParentWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND) {
        LRESULT result = 0;
        if (ReflectToChild(msg, wParam, lParam, &result))
            return result;
        m_commands.push_back(wParam);
        return 0;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

TestParentWindow* SharedTestParent()
{
    static TestParentWindow parent;
    static bool created = parent.create(200, 100);
    return created ? &parent : nullptr;
}

std::string ColourText(COLORREF colour)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d,%d", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

COLORREF PaletteEntry(const Dib& dib, int i)
{
    const RGBQUAD& e = dib.palette()[i];
    return RGB(e.rgbRed, e.rgbGreen, e.rgbBlue);
}
