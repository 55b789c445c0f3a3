#pragma once
// A CWnd is an HWND with methods, in the manner of WTL's CWindow, plus the
// one piece of machinery every Lumaro window needs: its window procedure is
// routed to the virtual WindowProc of the C++ object that owns the handle.
// A derived class's WindowProc is its message map: a switch over the messages
// it handles, calling handlers with the framework's names, and the base
// class's WindowProc for everything else.
//
// Every window is a Unicode window: subclassed, called and fed through the W
// functions, so that its texts (WM_SETTEXT, WM_GETTEXT, WM_CHAR) are UTF-16
// and never pass through the ANSI code page. The program's CP949 texts are
// converted on the way in and out (Cp949.h).
#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return this ? m_hWnd : nullptr; }

    // The C++ object attached to a handle by this framework, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Routes an existing window (typically a dialog's control) through this
    // object. PreSubclassWindow runs first, as controls adjust their styles there.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL DestroyWindow();

    // --- thin wrappers over the handle ---
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    // For a window that comes by itself while the user works in another
    // program: shown where it is without taking the activation (no focus,
    // the foreground stays), and its taskbar button flashes until the user
    // comes to it, as Windows does for a window it keeps from the foreground.
    // While the user is in a full-screen program, a game or a presentation,
    // it goes behind the foreground window instead of on top.
    BOOL ShowWithoutActivation();
    // For the user's own request: shown (`showCmd`), activated and given the
    // keyboard, whether it was hidden, minimized or covered. While a modal
    // dialog of its own disables it, that dialog comes forward instead.
    BOOL BringToForeground(int showCmd);
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) { return ::PostMessageW(m_hWnd, msg, w, l); }
    LRESULT SendMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) { return ::SendMessageW(m_hWnd, msg, w, l); }
    // `text` is CP949.
    void SetWindowText(const char* text);
    void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
    // As CP949, '?' for what it lacks; GetWindowTextWide as it is.
    std::string GetWindowText() const;
    std::wstring GetWindowTextWide() const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    CWnd* GetParent() const;
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL RedrawWindow(UINT flags) { return ::RedrawWindow(m_hWnd, nullptr, nullptr, flags); }
    void GetClientRect(RECT* rc) const { ::GetClientRect(m_hWnd, rc); }
    void GetWindowRect(RECT* rc) const { ::GetWindowRect(m_hWnd, rc); }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }

protected:
    // The message map. The base version offers the message to the child
    // control it concerns (reflection) and then to the default procedure.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // A control's own handling of a notification its parent received about
    // it (WM_CTLCOLOR*, WM_DRAWITEM, WM_MEASUREITEM, WM_COMMAND, WM_NOTIFY).
    // Returns TRUE when handled; *result is then the parent's answer.
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void PreSubclassWindow() {}
    // Called after the last message (WM_NCDESTROY), when m_hWnd is already null.
    virtual void PostNcDestroy() {}

    // Default processing of the message being handled right now.
    LRESULT Default();
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // The next window created on this thread with the given class is
    // attached to `wnd` from its very first message, so that WM_CREATE of a
    // dialog reaches its WindowProc.
    static void HookWindowCreate(CWnd* wnd, const wchar_t* className);
    static void UnhookWindowCreate();

private:
    static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hwnd);

    WNDPROC m_pfnSuper = nullptr;
    MSG m_current{};
};
