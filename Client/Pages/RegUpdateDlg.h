// CRegUpdateDlg: the program-update dialog. It shows the progress of the update sequence, which
// its worker thread runs (CUpdateSession): the check at the update site, the download of the
// installer and the user's answers. Closing it cancels the check or download at once. When the
// user chose to install, the dialog ends with the installer's path, to which the main window
// hands the program over.
#pragma once

#include "BitmapDialog.h"
#include "Label.h"
#include "PictureEx.h"
#include "UpdateSession.h"

class CRegUpdateDlg : public CBitmapDialog
{
public:
    // `parent`: the main window at start-up, none from the update button; `automatic`: opened at
    // start-up (only the "latest version" box of the check shows then).
    CRegUpdateDlg(CWnd* parent, BOOL automatic);
    ~CRegUpdateDlg() override;

    BOOL OnInitDialog() override;
    void OnCancel() override;

    // The downloaded installer that the user chose to install; empty otherwise.
    CString GetInstallerPath() const { return m_strInstaller; }

protected:
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnShowWindow(BOOL show, UINT status);
    void OnDestroy();
    LRESULT OnWorkerNotice(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    void SetFonts();
    void StartWorker();
    void ShowStatus(const CString& text);
    // Draws the worker's status and carries out its request.
    void FollowWorker();

    std::shared_ptr<CUpdateSession> m_session;
    BOOL m_bWorkerStarted = FALSE;
    CString m_strInstaller;
    CLabel m_status;
    CPictureEx m_animation;
    CLabel m_title;
};
