#include "AfxDialog.h"

void AfxHookWindowCreate(CWnd* wnd);
BOOL AfxUnhookWindowCreate();

namespace {

// Modal loops nested on this thread; temporary objects are freed only when the outermost one
// is idle, since an outer handler may still hold one.
thread_local int t_modalDepth = 0;

} // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (control.m_hWnd || !pDX || !pDX->m_pDlgWnd)
        return;
    HWND item = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
    if (item)
        control.SubclassWindow(item);
}

// The dialog procedure of every CDialog: the window procedure (AfxWndProc) has already offered
// the message to the message map; only the initialisation is the dialog's own.
INT_PTR CALLBACK AfxDlgProc(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
        return dialog ? dialog->OnInitDialog() : TRUE;
    }
    return FALSE;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent)
{
}

BOOL CDialog::CreateFromTemplate(HWND parent)
{
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent, &AfxDlgProc,
                                     reinterpret_cast<LPARAM>(this));
    AfxUnhookWindowCreate();
    return hWnd != nullptr;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    return CreateFromTemplate(parent ? parent->m_hWnd : nullptr);
}

INT_PTR CDialog::DoModal()
{
    CWnd* mainWnd = AfxGetMainWnd();
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : (mainWnd && mainWnd != this ? mainWnd->m_hWnd : nullptr);
    if (owner)
        owner = ::GetAncestor(owner, GA_ROOT);
    const BOOL disableOwner = owner && ::IsWindowEnabled(owner);
    if (disableOwner)
        ::EnableWindow(owner, FALSE);

    m_bModalLoop = TRUE;
    m_bEndModal = FALSE;
    m_nModalResult = -1;
    if (CreateFromTemplate(owner)) {
        if (!m_bEndModal) {
            ShowWindow(SW_SHOWNORMAL);
            RunModalLoop();
        }
    }
    m_bModalLoop = FALSE;

    if (disableOwner) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    if (m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        DestroyWindow();
    }
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    ++t_modalDepth;
    MSG msg;
    while (!m_bEndModal && m_hWnd) {
        if (t_modalDepth == 1 && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            AfxDeleteTempMap();
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT ends every loop: hand it on to the one outside.
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    --t_modalDepth;
}

void CDialog::EndDialog(int result)
{
    m_nModalResult = result;
    if (m_bModalLoop) {
        m_bEndModal = TRUE;
        // Wake the loop in case it waits for a message.
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, result);
    }
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

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Keyboard and mouse input of the dialog and its controls: tabbing, default button, mnemonics.
    const bool keyboard = pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST;
    const bool mouse = pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST;
    if (!keyboard && !mouse)
        return FALSE;
    if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd))
        return FALSE;
    return ::IsDialogMessageA(m_hWnd, pMsg);
}
