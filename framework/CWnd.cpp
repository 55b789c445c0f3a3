#include "framework/CWnd.h"

#include "framework/Cp949.h"
#include "framework/UserNotificationState.h"

#include <vector>

namespace {
const wchar_t kPropName[] = L"Lumaro.CWnd";

struct CreateHook {
    HHOOK hook = nullptr;
    CWnd* wnd = nullptr;
    const wchar_t* className = nullptr;
};
thread_local CreateHook t_create;
}

CWnd::~CWnd()
{
    // A C++ object going away before its window must not leave the window
    // calling into freed memory.
    if (m_hWnd && ::IsWindow(m_hWnd) && FromHandlePermanent(m_hWnd) == this)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    return static_cast<CWnd*>(::GetPropW(hwnd, kPropName));
}

void CWnd::Attach(HWND hwnd)
{
    m_hWnd = hwnd;
    ::SetPropW(hwnd, kPropName, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc)));
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return FALSE;
    m_hWnd = hwnd;
    PreSubclassWindow();
    Attach(hwnd);
    return TRUE;
}

BOOL CWnd::ShowWithoutActivation()
{
    // A new window starts on top of all but the topmost ones. Behind a
    // full-screen window means right after it; one that is topmost stays
    // above anyway, and a window placed right after it would turn topmost.
    HWND behind = nullptr;
    if (BusyFullScreen(UserNotificationState())) {
        HWND foreground = ::GetForegroundWindow();
        if (foreground && foreground != m_hWnd && !(::GetWindowLongPtrW(foreground, GWL_EXSTYLE) & WS_EX_TOPMOST))
            behind = foreground;
    }
    if (!::SetWindowPos(m_hWnd, behind, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | (behind ? 0 : SWP_NOZORDER)))
        return FALSE;
    FLASHWINFO flash = {sizeof flash, m_hWnd, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&flash);
    return TRUE;
}

BOOL CWnd::BringToForeground(int showCmd)
{
    ::ShowWindow(m_hWnd, showCmd);
    // Showing a visible window changes nothing, and a background process
    // may not activate by showing: the foreground is asked for. Windows
    // grants it after the user's click or key on the icon or its balloon.
    HWND target = ::IsWindowEnabled(m_hWnd) ? m_hWnd : ::GetWindow(m_hWnd, GW_ENABLEDPOPUP);
    return ::SetForegroundWindow(target ? target : m_hWnd);
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND child = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
    return child ? SubclassWindow(child) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    if (!hwnd)
        return nullptr;
    if (m_pfnSuper)
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropW(hwnd, kPropName);
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hwnd;
}

void CWnd::SetWindowText(const char* text)
{
    SetWindowText(Widen(text ? text : ""));
}

std::string CWnd::GetWindowText() const
{
    return Narrow(GetWindowTextWide());
}

std::wstring CWnd::GetWindowTextWide() const
{
    int len = ::GetWindowTextLengthW(m_hWnd);
    if (len <= 0)
        return std::wstring();
    std::vector<wchar_t> buf(static_cast<size_t>(len) + 1);
    int got = ::GetWindowTextW(m_hWnd, buf.data(), len + 1);
    return std::wstring(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

CWnd* CWnd::GetParent() const
{
    return FromHandlePermanent(::GetParent(m_hWnd));
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    HWND child = nullptr;
    switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (dis && dis->CtlType != ODT_MENU)
            child = dis->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (mis && mis->CtlType != ODT_MENU)
            child = ::GetDlgItem(m_hWnd, static_cast<int>(mis->CtlID));
        break;
    }
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr)
            child = hdr->hwndFrom;
        break;
    }
    default:
        return FALSE;
    }
    CWnd* target = FromHandlePermanent(child);
    if (!target || target == this)
        return FALSE;
    return target->OnChildNotify(msg, wParam, lParam, result);
}

namespace {
struct Forwarded {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

BOOL CALLBACK ForwardToChild(HWND child, LPARAM param)
{
    const auto* m = reinterpret_cast<const Forwarded*>(param);
    ::SendMessageW(child, m->msg, m->wParam, m->lParam);
    return TRUE;
}
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Windows tells only top-level windows of new system colours and
    // settings ("WM_SYSCOLORCHANGE"); controls that draw in those colours
    // hear of them from here, as the framework forwards them.
    if ((msg == WM_SYSCOLORCHANGE || msg == WM_SETTINGCHANGE) && !(GetStyle() & WS_CHILD)) {
        Forwarded m{msg, wParam, lParam};
        ::EnumChildWindows(m_hWnd, ForwardToChild, reinterpret_cast<LPARAM>(&m));
    }
    LRESULT result = 0;
    if (ReflectToChild(msg, wParam, lParam, &result))
        return result;
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);

    MSG saved = wnd->m_current;
    wnd->m_current = MSG{hwnd, msg, wParam, lParam, 0, {0, 0}};
    LRESULT result = wnd->WindowProc(msg, wParam, lParam);
    wnd->m_current = saved;

    if (msg == WM_NCDESTROY) {
        wnd->UnsubclassWindow();
        wnd->PostNcDestroy();
    }
    return result;
}

LRESULT CALLBACK CWnd::CbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && t_create.wnd) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        wchar_t cls[64] = L"";
        ::GetClassNameW(hwnd, cls, 64);
        if (!t_create.className || lstrcmpiW(cls, t_create.className) == 0) {
            CWnd* wnd = t_create.wnd;
            t_create.wnd = nullptr;
            wnd->Attach(hwnd);
        }
    }
    return ::CallNextHookEx(t_create.hook, code, wParam, lParam);
}

void CWnd::HookWindowCreate(CWnd* wnd, const wchar_t* className)
{
    if (!t_create.hook)
        t_create.hook = ::SetWindowsHookExW(WH_CBT, &CWnd::CbtHook, nullptr, ::GetCurrentThreadId());
    t_create.wnd = wnd;
    t_create.className = className;
}

void CWnd::UnhookWindowCreate()
{
    t_create.wnd = nullptr;
    if (t_create.hook) {
        ::UnhookWindowsHookEx(t_create.hook);
        t_create.hook = nullptr;
    }
}
