// CUpdateSession: what the update dialog and its worker thread share. The worker runs the whole
// sequence here (check, question, download, question) and knows no window: it leaves the status
// text and its request (close, or install a downloaded installer) in this object and posts a
// notice to the dialog, whose thread draws and acts on them. Both hold it through a shared_ptr,
// so it outlives a dialog that was closed while the worker still winds down.
#pragma once

#include "UpdateClient.h"

#include <memory>

class CUpdateSession
{
public:
    // `automatic`: opened at start-up, where only the "latest version" box of the check shows.
    CUpdateSession(BOOL automatic, const CString& site, const CString& productName);
    CUpdateSession(const CUpdateSession&) = delete;
    CUpdateSession& operator=(const CUpdateSession&) = delete;

    // The worker's sequence; returns when it has set its request, or at once after a cancel.
    void Run();
    // The dialog has closed: the check or download stops at once and no further box shows.
    void Cancel();
    BOOL IsCancelled() const { return m_client.IsCancelled(); }

    // The window that gets `message` posted when the status or a request changes; null stops
    // the notices (the dialog's window is going).
    void SetNotifyWindow(HWND window, UINT message);
    CString GetStatus() const;
    BOOL IsCloseRequested() const;
    // The downloaded installer once the user chose to install it; empty until then.
    CString GetInstallRequest() const;

private:
    void SetStatus(const CString& text);
    void RequestClose();
    void RequestInstall(const CString& path);
    void Notify();
    // A Yes/No question; No without a box once cancelled.
    int Ask(const CString& question);
    void Tell(const CString& text);

    const BOOL m_bAutomatic;
    const CString m_strProduct;
    CUpdateClient m_client;
    mutable std::mutex m_lock;
    CString m_strStatus;
    BOOL m_bCloseRequest = FALSE;
    CString m_strInstaller;
    HWND m_hNotify = nullptr;
    UINT m_nNotifyMessage = 0;
};

// Starts `session`'s Run on a thread of lowest priority; the handle of the running thread (the
// caller closes it), or null when no thread could start.
HANDLE StartUpdateWorker(const std::shared_ptr<CUpdateSession>& session);
