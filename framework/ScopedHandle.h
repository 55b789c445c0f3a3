#pragma once
// One small owner per kind of handle, so that every GDI object, DC and kernel
// handle is released by the object that made it, on every path. A member
// that is a plain handle is borrowed: its owner is elsewhere.
#include <windows.h>
#include <commctrl.h>

// The owner of one handle that an object keeps. One rule for every kind:
// Reset frees the handle held, unless it is the one being handed over, and
// then holds the new one; the destructor frees what is held.
template <class T, class Free>
class ScopedOwner {
public:
    explicit ScopedOwner(T handle = nullptr) : m_handle(handle) {}
    ~ScopedOwner() { Reset(); }
    ScopedOwner(const ScopedOwner&) = delete;
    ScopedOwner& operator=(const ScopedOwner&) = delete;
    void Reset(T handle = nullptr)
    {
        T old = m_handle;
        m_handle = handle;
        if (old && old != handle)
            Free()(old);
    }
    T Get() const { return m_handle; }
    operator T() const { return m_handle; }

private:
    T m_handle;
};

// CreateFile's failure is INVALID_HANDLE_VALUE, other calls' null: neither is closed.
struct CloseHandleFn {
    void operator()(HANDLE h) const
    {
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    }
};

class AutoCloseHandle : public ScopedOwner<HANDLE, CloseHandleFn> {
public:
    using ScopedOwner::ScopedOwner;
    bool Valid() const { return Get() && Get() != INVALID_HANDLE_VALUE; }
};

struct DeleteObjectFn {
    void operator()(HGDIOBJ obj) const { ::DeleteObject(obj); }
};
struct DestroyIconFn {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
struct UnmapViewFn {
    void operator()(void* view) const { ::UnmapViewOfFile(view); }
};
// A pen, brush, font, bitmap or region this object made.
template <class T>
using ScopedGdiObj = ScopedOwner<T, DeleteObjectFn>;
// An icon made for this object alone (LoadImage without LR_SHARED,
// CreateIconIndirect, CopyIcon); shared resource icons are never put in one.
using ScopedIcon = ScopedOwner<HICON, DestroyIconFn>;
// A mapped view of a file mapping.
using ScopedMapView = ScopedOwner<void*, UnmapViewFn>;

class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_prev(obj ? SelectObject(dc, obj) : nullptr) {}
    ~ScopedSelectObject()
    {
        if (m_prev)
            SelectObject(m_dc, m_prev);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
private:
    HDC m_dc;
    HGDIOBJ m_prev;
};

class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND hwnd) : m_hwnd(hwnd), m_dc(GetDC(hwnd)) {}
    ~ScopedGetDC()
    {
        if (m_dc)
            ReleaseDC(m_hwnd, m_dc);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    operator HDC() const { return m_dc; }
private:
    HWND m_hwnd;
    HDC m_dc;
};

class ScopedMemDC {
public:
    explicit ScopedMemDC(HDC compatible) : m_dc(CreateCompatibleDC(compatible)) {}
    ~ScopedMemDC()
    {
        if (m_dc)
            DeleteDC(m_dc);
    }
    ScopedMemDC(const ScopedMemDC&) = delete;
    ScopedMemDC& operator=(const ScopedMemDC&) = delete;
    operator HDC() const { return m_dc; }
private:
    HDC m_dc;
};

// A memory DC kept by an object together with the bitmap it draws on. The
// bitmap stays selected for the DC's whole life and is deselected before
// either goes, since GDI does not delete a bitmap that a DC still holds.
class ScopedBitmapDC {
public:
    ScopedBitmapDC() = default;
    ~ScopedBitmapDC() { Reset(); }
    ScopedBitmapDC(const ScopedBitmapDC&) = delete;
    ScopedBitmapDC& operator=(const ScopedBitmapDC&) = delete;
    // Takes `bitmap` in every case; false, and empty, when the bitmap or the DC is missing.
    bool Reset(HDC compatible, HBITMAP bitmap)
    {
        Reset();
        m_bitmap.Reset(bitmap);
        m_dc = bitmap ? ::CreateCompatibleDC(compatible) : nullptr;
        if (!m_dc) {
            m_bitmap.Reset();
            return false;
        }
        m_previous = ::SelectObject(m_dc, bitmap);
        return true;
    }
    void Reset()
    {
        if (m_dc) {
            ::SelectObject(m_dc, m_previous);
            ::DeleteDC(m_dc);
            m_dc = nullptr;
        }
        m_bitmap.Reset();
    }
    HDC Get() const { return m_dc; }
    operator HDC() const { return m_dc; }
private:
    ScopedGdiObj<HBITMAP> m_bitmap;
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

struct DestroyCursorFn {
    void operator()(HCURSOR cursor) const { ::DestroyCursor(cursor); }
};
// Defined beside the other common-control calls (CommonControls.cpp).
struct DestroyImageListFn {
    void operator()(HIMAGELIST list) const;
};
// A window is also destroyed with the window that owns it, which may go first.
struct DestroyWindowFn {
    void operator()(HWND window) const
    {
        if (::IsWindow(window))
            ::DestroyWindow(window);
    }
};

// A cursor made for this object alone (LoadImage without LR_SHARED,
// CreateCursor, CopyCursor); shared system cursors are never put in one.
using ScopedCursor = ScopedOwner<HCURSOR, DestroyCursorFn>;
using ScopedImageList = ScopedOwner<HIMAGELIST, DestroyImageListFn>;
// A window this object made and must not outlive, such as a tooltip.
using ScopedWindow = ScopedOwner<HWND, DestroyWindowFn>;
