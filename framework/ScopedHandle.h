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
