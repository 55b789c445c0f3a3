#pragma once
// A dialog bound to its resource template by id. Modal dialogs run their own
// message loop (as the windowing framework does) so that PreTranslateMessage
// sees every message before the dialog manager does.
#include "framework/CWnd.h"
#include "framework/DataExchange.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    // Modeless creation; the window is owned by `parent` (or the parent given
    // at construction).
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);

    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL DestroyWindow() override;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx) {}

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    UINT m_templateId;
    CWnd* m_pParentWnd;
    // Set by a dialog that comes by itself: the modal loop shows it with
    // ShowWithoutActivation. Such a dialog's OnInitDialog returns FALSE, as
    // the dialog manager activates a dialog to give its control the focus.
    bool m_showWithoutActivation = false;

private:
    void RunModalLoop();
    void EnableOwner();
    HWND CreateFromTemplate(HWND owner);

    HWND m_disabledOwner = nullptr;  // disabled by DoModal until the dialog ends
    bool m_modal = false;
    bool m_endModal = false;
    INT_PTR m_modalResult = -1;
};
