#include "framework/CDialog.h"

#include "framework/CWinApp.h"

namespace {
// The dialog manager's own procedure: everything is handled in WindowProc,
// which sits in front of it, so this one only asks for default processing.
INT_PTR CALLBACK NullDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

bool IsChild(HWND hwnd)
{
    return (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0;
}
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

HWND CDialog::CreateFromTemplate(HWND owner)
{
    // The W function makes the dialog and its controls Unicode windows (see
    // CWnd.h); the template's texts are UTF-16 already.
    HookWindowCreate(this, L"#32770");
    HWND hwnd = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_templateId), owner,
                                     NullDlgProc, 0);
    UnhookWindowCreate();
    return hwnd;
}

INT_PTR CDialog::DoModal()
{
    // Without a parent the application's main window owns the dialog while it
    // runs, and is disabled meanwhile.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this && main->m_hWnd && ::IsWindow(main->m_hWnd))
            owner = main->m_hWnd;
    }
    m_disabledOwner = owner && ::IsWindowEnabled(owner) ? owner : nullptr;
    if (m_disabledOwner)
        ::EnableWindow(m_disabledOwner, FALSE);

    m_modal = true;
    m_endModal = false;
    m_modalResult = -1;
    if (CreateFromTemplate(owner) && !m_endModal)
        RunModalLoop();
    m_modal = false;

    // A loop ended without EndDialog (a quit message, a failed creation).
    EnableOwner();
    if (owner && m_hWnd && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(owner);
    DestroyWindow();
    return m_modalResult;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    // A dialog whose template is not visible is shown once the queue first
    // runs dry, as the framework's modal loop does; a dialog that wants to
    // stay hidden refuses that in WM_WINDOWPOSCHANGING.
    bool showOnIdle = !(::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_VISIBLE);
    while (!m_endModal) {
        if (showOnIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (m_showWithoutActivation)
                ShowWithoutActivation();
            else
                ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            ::UpdateWindow(m_hWnd);
            showOnIdle = false;
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        // Offer the message to each framework window from its target up to
        // the top-level window, as the framework's message pump does. Taken
        // and dispatched as W: a character typed into one of the dialog's
        // Unicode controls then reaches it as typed, not through the ANSI
        // code page.
        bool handled = false;
        for (HWND h = msg.hwnd; h && !handled; h = IsChild(h) ? ::GetParent(h) : nullptr) {
            CWnd* wnd = CWnd::FromHandlePermanent(h);
            if (wnd && wnd->PreTranslateMessage(&msg))
                handled = true;
        }
        if (!handled) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    if (parent)
        m_pParentWnd = parent;
    return CreateFromTemplate(m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr) != nullptr;
}

void CDialog::EnableOwner()
{
    if (m_disabledOwner)
        ::EnableWindow(m_disabledOwner, TRUE);
    m_disabledOwner = nullptr;
}

void CDialog::EndDialog(int result)
{
    m_modalResult = result;
    if (!m_modal) {
        // A modeless dialog is hidden and lives on. Not ::EndDialog, which
        // is only for the dialogs DialogBox runs ("EndDialog").
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    m_endModal = true;
    // The owner first, as the system's own modal dialogs do: hiding the
    // active dialog hands activation on, and a still disabled owner would be
    // passed over for another program's window, which then covers it. Not
    // left to ::EndDialog: Wine's enables the owner of any dialog, Windows'
    // only of one that DialogBox runs.
    EnableOwner();
    ::ShowWindow(m_hWnd, SW_HIDE);
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx{saveAndValidate, this};
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    return m_hWnd && ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::DestroyWindow()
{
    return CWnd::DestroyWindow();
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND: {
        LRESULT result = 0;
        if (ReflectToChild(msg, wParam, lParam, &result))
            return result;
        if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        return DefWindowProc(msg, wParam, lParam);
    }
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}
