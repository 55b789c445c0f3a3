#pragma once
// One small owner per kind of handle, so that every GDI object, DC and kernel
// handle is released by the object that made it, on every path.
#include <windows.h>

class AutoCloseHandle {
public:
    explicit AutoCloseHandle(HANDLE h = nullptr) : m_h(h) {}
    ~AutoCloseHandle() { Reset(); }
    AutoCloseHandle(const AutoCloseHandle&) = delete;
    AutoCloseHandle& operator=(const AutoCloseHandle&) = delete;
    void Reset(HANDLE h = nullptr)
    {
        if (m_h && m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
        m_h = h;
    }
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
private:
    HANDLE m_h;
};

// An icon or cursor made for this object alone (LoadImage without LR_SHARED,
// CreateIconIndirect, CopyIcon); shared resource icons are never destroyed.
class ScopedIcon {
public:
    explicit ScopedIcon(HICON icon = nullptr) : m_icon(icon) {}
    ~ScopedIcon() { Reset(); }
    ScopedIcon(const ScopedIcon&) = delete;
    ScopedIcon& operator=(const ScopedIcon&) = delete;
    void Reset(HICON icon = nullptr)
    {
        if (m_icon && m_icon != icon)
            DestroyIcon(m_icon);
        m_icon = icon;
    }
    HICON Get() const { return m_icon; }
private:
    HICON m_icon;
};

// A mapped view of a file mapping, unmapped when the object goes.
class ScopedMapView {
public:
    explicit ScopedMapView(void* view = nullptr) : m_view(view) {}
    ~ScopedMapView() { Reset(); }
    ScopedMapView(const ScopedMapView&) = delete;
    ScopedMapView& operator=(const ScopedMapView&) = delete;
    void Reset(void* view = nullptr)
    {
        if (m_view)
            UnmapViewOfFile(m_view);
        m_view = view;
    }
    void* Get() const { return m_view; }
private:
    void* m_view;
};

template <class T>
class ScopedGdiObj {
public:
    explicit ScopedGdiObj(T obj = nullptr) : m_obj(obj) {}
    ~ScopedGdiObj() { Reset(); }
    ScopedGdiObj(const ScopedGdiObj&) = delete;
    ScopedGdiObj& operator=(const ScopedGdiObj&) = delete;
    void Reset(T obj = nullptr)
    {
        if (m_obj)
            DeleteObject(m_obj);
        m_obj = obj;
    }
    T Release()
    {
        T obj = m_obj;
        m_obj = nullptr;
        return obj;
    }
    T Get() const { return m_obj; }
    operator T() const { return m_obj; }
private:
    T m_obj;
};

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
