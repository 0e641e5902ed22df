#include "RegUpdateDlg.h"

#include "DialogLayout.h"
#include "Kelvara.h"
#include "resource.h"

namespace {

const UINT_PTR kWorkerTimer = 1;
const UINT kWorkerTimerMs = 500;
// Posted by the worker to the dialog when its status or request changes.
const UINT WM_UPDATE_NOTICE = WM_APP + 1;

} // namespace

BEGIN_MESSAGE_MAP(CRegUpdateDlg, CBitmapDialog)
    ON_WM_TIMER()
    ON_WM_CLOSE()
    ON_WM_SHOWWINDOW()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_UPDATE_NOTICE, OnWorkerNotice)
END_MESSAGE_MAP()

CRegUpdateDlg::CRegUpdateDlg(CWnd* parent, BOOL automatic)
    : CBitmapDialog(IDD_UPDATE, parent),
      m_session(std::make_shared<CUpdateSession>(automatic, GetUpdateSite(), ProductName()))
{
}

CRegUpdateDlg::~CRegUpdateDlg()
{
    // A worker that still runs keeps the session; it must stop what it does and post nothing.
    m_session->SetNotifyWindow(nullptr, 0);
    m_session->Cancel();
}

BOOL CRegUpdateDlg::OnInitDialog()
{
    CBitmapDialog::OnInitDialog();
    FitDialogToSkin(this);
    m_bDragWindow = TRUE;
    SetBitmap(IDB_UPDATE_BACKGROUND);
    m_status.SubclassDlgItem(IDC_UPDATE_STATUS, this);
    m_animation.SubclassDlgItem(IDC_UPDATE_ANIMATION, this);
    m_title.SubclassDlgItem(IDC_UPDATE_TITLE, this);
    m_session->SetNotifyWindow(m_hWnd, WM_UPDATE_NOTICE);
    SetTimer(kWorkerTimer, kWorkerTimerMs);
    return TRUE;
}

void CRegUpdateDlg::OnShowWindow(BOOL show, UINT status)
{
    Default();
    if (!show || status != 0)
        return;
    if (m_animation.IsInitialised() || m_animation.Load(MAKEINTRESOURCEA(IDG_UPDATE_ANIMATION)))
        m_animation.Draw();
    m_animation.SetBkColor(RGB(255, 255, 255));
    SetFonts();
}

void CRegUpdateDlg::SetFonts()
{
    m_title.SetFontName("Verdana")->SetFontSize(12)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(RGB(0, 0, 0));
    m_status.SetFontName("Tahoma")->SetFontSize(14)->SetTransparent(TRUE)->SetTextColor(RGB(0, 0, 0));
}

void CRegUpdateDlg::OnTimer(UINT_PTR id)
{
    if (id == kWorkerTimer) {
        // The first tick starts the worker, once the dialog shows.
        if (!m_bWorkerStarted)
            StartWorker();
        FollowWorker();
    }
    Default();
}

LRESULT CRegUpdateDlg::OnWorkerNotice(WPARAM, LPARAM)
{
    FollowWorker();
    return 0;
}

void CRegUpdateDlg::StartWorker()
{
    m_bWorkerStarted = TRUE;
    HANDLE worker = StartUpdateWorker(m_session);
    if (!worker) {
        EndDialog(IDCANCEL);
        return;
    }
    // The program's exit waits for it: a cancelled download may still be winding down then.
    if (CQuillonApp* app = QuillonApp())
        app->m_updateWorkers.Add(worker);
    else
        ::CloseHandle(worker);
}

void CRegUpdateDlg::FollowWorker()
{
    if (!m_hWnd || !IsModalLoopRunning())
        return;
    const CString status = m_session->GetStatus();
    if (status != m_status.GetWindowText())
        ShowStatus(status);
    const CString installer = m_session->GetInstallRequest();
    if (!installer.IsEmpty()) {
        m_strInstaller = installer;
        EndDialog(IDOK);
    } else if (m_session->IsCloseRequested()) {
        OnOK();
    }
}

void CRegUpdateDlg::ShowStatus(const CString& text)
{
    m_status.SetText(text);
    // The label is transparent: the background behind it is drawn again first, so the old text
    // goes, then the label over it.
    CRect area;
    m_status.GetWindowRect(&area);
    ScreenToClient(&area);
    RedrawWindow(&area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CRegUpdateDlg::OnClose()
{
    m_session->Cancel();
    Default();
}

void CRegUpdateDlg::OnCancel()
{
    m_session->Cancel();
    CBitmapDialog::OnCancel();
}

void CRegUpdateDlg::OnDestroy()
{
    m_session->SetNotifyWindow(nullptr, 0);
    Default();
}
