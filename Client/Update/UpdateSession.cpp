#include "UpdateSession.h"

#include <process.h>

namespace {

unsigned __stdcall UpdateThreadProc(void* param)
{
    std::unique_ptr<std::shared_ptr<CUpdateSession>> session(static_cast<std::shared_ptr<CUpdateSession>*>(param));
    (*session)->Run();
    return 0;
}

} // namespace

CUpdateSession::CUpdateSession(BOOL automatic, const CString& site, const CString& productName)
    : m_bAutomatic(automatic), m_strProduct(productName), m_client(site, productName)
{
}

void CUpdateSession::Run()
{
    SetStatus("Checking for updates...");
    CString address;
    if (!m_client.CheckForUpdate(address, m_bAutomatic) || address.IsEmpty()) {
        RequestClose();
        return;
    }
    SetStatus("Found new version of " + m_strProduct);
    if (Ask("A new version of " + m_strProduct + " is available, Do you want to download it") != IDYES) {
        RequestClose();
        return;
    }
    SetStatus("Downloading latest version of " + m_strProduct);
    const CString path = m_client.DownloadFile(address);
    if (path == kDownloadCancelled)
        return;
    if (IsCancelled()) {
        // Closed just as the download ended: no one is asked, so no installer stays.
        if (!path.IsEmpty())
            ::DeleteFileA(path);
        return;
    }
    if (path.IsEmpty()) {
        Tell("An error occurred while downloading updates, check your internet connection");
        RequestClose();
        return;
    }
    SetStatus("Download completed");
    if (Ask("Do you want to install the downloaded updates.\r\nIf you select Yes, " + m_strProduct +
            " will exit and update installer will be launched.") == IDYES)
        RequestInstall(path);
    else
        RequestClose();
}

void CUpdateSession::Cancel()
{
    m_client.Cancel();
}

void CUpdateSession::SetNotifyWindow(HWND window, UINT message)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_hNotify = window;
    m_nNotifyMessage = message;
}

CString CUpdateSession::GetStatus() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_strStatus;
}

BOOL CUpdateSession::IsCloseRequested() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bCloseRequest;
}

CString CUpdateSession::GetInstallRequest() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_strInstaller;
}

void CUpdateSession::SetStatus(const CString& text)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_strStatus = text;
    }
    Notify();
}

void CUpdateSession::RequestClose()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bCloseRequest = TRUE;
    }
    Notify();
}

void CUpdateSession::RequestInstall(const CString& path)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_strInstaller = path;
    }
    Notify();
}

void CUpdateSession::Notify()
{
    // Under the lock, so the window cannot go between the check and the post.
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_hNotify)
        ::PostMessageA(m_hNotify, m_nNotifyMessage, 0, 0);
}

int CUpdateSession::Ask(const CString& question)
{
    if (IsCancelled())
        return IDNO;
    return AfxMessageBox(question, MB_YESNO);
}

void CUpdateSession::Tell(const CString& text)
{
    if (!IsCancelled())
        AfxMessageBox(text, MB_OK);
}

HANDLE StartUpdateWorker(const std::shared_ptr<CUpdateSession>& session)
{
    auto* param = new std::shared_ptr<CUpdateSession>(session);
    unsigned id = 0;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &UpdateThreadProc, param, CREATE_SUSPENDED, &id));
    if (!thread) {
        delete param;
        return nullptr;
    }
    ::SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    ::ResumeThread(thread);
    return thread;
}
