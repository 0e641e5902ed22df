// CDialog and control binding (DDX_Control), as the MFC names: a dialog from a template resource,
// modal with its own message loop or modeless as a child page.
#pragma once

#include "AfxWin.h"

class CDataExchange
{
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds the dialog's control to the object once: the object subclasses the control's window
// (its PreSubclassWindow runs first).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd
{
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally: the owner is disabled, and the dialog's own message loop offers
    // each message to PreTranslateMessage from its target up to the main window. Returns the
    // value given to EndDialog, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modelessly (a page inside its parent, or a free window).
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* pMsg) override;

    UINT GetTemplateId() const { return m_nIDTemplate; }
    BOOL IsModalLoopRunning() const { return m_bModalLoop && !m_bEndModal; }

protected:
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    BOOL CreateFromTemplate(HWND parent);
    void RunModalLoop();

    BOOL m_bModalLoop = FALSE;
    BOOL m_bEndModal = FALSE;
    int m_nModalResult = -1;
};
