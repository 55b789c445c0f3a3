#pragma once
// Test helpers for the widgets: a memory canvas whose pixels can be read
// back, and a plain top-level window that reflects notifications to its
// controls as a dialog does.
#include "framework/CWnd.h"
#include "widgets/Dib.h"

#include <vector>

class TestCanvas {
public:
    TestCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255));
    ~TestCanvas();
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;

    HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    void fill(COLORREF colour);
    COLORREF pixel(int x, int y) const;

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    DWORD* m_bits = nullptr;
};

class TestParentWindow : public CWnd {
public:
    ~TestParentWindow() override;
    // A visible popup window at (100, 100) on the screen.
    bool create(int width, int height);
    HWND addButton(int id, const char* text, DWORD style, const RECT& rect);

    // The WM_COMMAND wParams that reached the window itself after its
    // controls had seen them.
    std::vector<WPARAM> m_commands;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// One parent window for all tests, made once: the tests need a real window
// to draw on, not a new one each. Null when no window can be created (no
// display).
TestParentWindow* SharedTestParent();

// "r,g,b" for failure messages.
std::string ColourText(COLORREF colour);

// Entry i of the Dib's palette as a colour.
COLORREF PaletteEntry(const Dib& dib, int i);
