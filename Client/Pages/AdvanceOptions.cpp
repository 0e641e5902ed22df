#include "AdvanceOptions.h"

#include <cstring>

#include "JobWait.h"
#include "Kelvara.h"
#include "Messages.h"

namespace {

const UINT_PTR kProgressTimer = 1;
const UINT kProgressIntervalMs = 100;
const int kProgressRange = 100;

const char* const kMonthNames[12] = { "January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December" };

bool FileExists(const CString& path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsGone(const CString& path)
{
    if (::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

CString DateOf(const CFileFind& find)
{
    FILETIME created = {};
    FILETIME local = {};
    SYSTEMTIME time = {};
    if (!find.GetCreationTime(&created) || !::FileTimeToLocalFileTime(&created, &local) ||
        !::FileTimeToSystemTime(&local, &time))
        return CString();
    return FormatBackupDate(time);
}

} // namespace

CString BackupNameOf(const CString& fileName)
{
    const int dot = fileName.ReverseFind('.');
    return dot > 0 ? fileName.Left(dot) : fileName;
}

CString FormatBackupDate(const SYSTEMTIME& localTime)
{
    if (localTime.wMonth < 1 || localTime.wMonth > 12)
        return CString();
    CString text;
    text.Format("%s %02u, %04u (%02u:%02u:%02u)", kMonthNames[localTime.wMonth - 1], localTime.wDay, localTime.wYear,
                localTime.wHour, localTime.wMinute, localTime.wSecond);
    return text;
}

CString GetBackupFolder()
{
    const CString program = GetProgramPath();
    const int slash = program.ReverseFind('\\');
    return slash < 0 ? CString() : program.Left(slash + 1) + "Backup";
}

std::vector<BACKUP_RECORD> EnumerateBackups(const CString& folder)
{
    std::vector<BACKUP_RECORD> backups;
    CFileFind find;
    BOOL more = find.FindFile(folder + "\\*.rbk");
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots() || find.IsDirectory())
            continue;
        BACKUP_RECORD record;
        record.name = BackupNameOf(find.GetFileName());
        record.path = find.GetFilePath();
        record.date = DateOf(find);
        if (!record.name.IsEmpty())
            backups.push_back(record);
    }
    return std::vector<BACKUP_RECORD>(backups.rbegin(), backups.rend());
}

BOOL DeleteBackupFile(const CString& path)
{
    if (::DeleteFileA(path) || IsGone(path))
        return TRUE;
    // Locked: the system deletes it at the next restart.
    ::MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return FALSE;
}

CString BackupFinishedMessage(bool restore, int result, int keysNotRead, int valuesNotRead)
{
    if (restore)
        return result == 1 ? "Backup successfully restored."
                           : "The backup could not be restored completely. The backup file has been kept.";
    if (result != 1)
        return "The backup could not be created.";
    if (keysNotRead <= 0 && valuesNotRead <= 0)
        return "Backup successfully created.";
    CString notRead;
    if (keysNotRead > 0)
        notRead.Format("%d %s", keysNotRead, keysNotRead == 1 ? "key" : "keys");
    if (valuesNotRead > 0)
        notRead.AppendFormat("%s%d %s", notRead.IsEmpty() ? "" : " and ", valuesNotRead,
                             valuesNotRead == 1 ? "value" : "values");
    return "Registry backed up, " + notRead + " could not be read.";
}

BEGIN_MESSAGE_MAP(CAdvanceOptions, CSkinPage)
    ON_BN_CLICKED(IDC_BACKUP_CREATE, OnCreateBackup)
    ON_BN_CLICKED(IDC_BACKUP_RESTORE, OnRestore)
    ON_BN_CLICKED(IDC_BACKUP_DELETE, OnDelete)
    ON_MESSAGE(WM_BACKUP_FINISHED, OnBackupFinished)
    ON_MESSAGE(WM_LIST_CHECK, OnListCheck)
    ON_WM_TIMER()
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CAdvanceOptions::CAdvanceOptions() : CSkinPage(IDD_BACKUP, 197)
{
    m_hPageBrush = ::CreateSolidBrush(RGB(255, 255, 255));
}

CAdvanceOptions::~CAdvanceOptions()
{
    ::DeleteObject(m_hPageBrush);
}

BOOL CAdvanceOptions::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    InitSkin();
    SetFonts();
    return TRUE;
}

void CAdvanceOptions::InitSkin()
{
    m_bTransparentStatics = TRUE;
    BindSkinButtons(this, {
        { &m_backupButton, IDC_BACKUP_CREATE, 228, 228, 229, 0 },
        { &m_restoreButton, IDC_BACKUP_RESTORE, 230, 230, 231, 0 },
        { &m_deleteButton, IDC_BACKUP_DELETE, 188, 188, 189, 0 },
    });
    m_list.SubclassDlgItem(IDC_BACKUP_LIST, this);
    m_progress.SubclassDlgItem(IDC_BACKUP_PROGRESS, this);
    m_progress.SetRange(0, kProgressRange);
}

void CAdvanceOptions::SetFonts()
{
    m_information.SubclassDlgItem(IDC_BACKUP_INFORMATION, this);
    m_details.SubclassDlgItem(IDC_BACKUP_DETAILS, this);
    char details[256] = {};
    ::LoadStringA(AfxGetResourceHandle(), IDS_BACKUP_DETAILS, details, sizeof(details));
    m_details.SetText(details);
    for (CLabel* label : { &m_information, &m_details })
        label->SetFontName("Verdana")->SetFontSize(10)->SetTransparent(TRUE)->SetTextColor(RGB(0, 0, 0));
}

void CAdvanceOptions::RefreshBackupList()
{
    if (!m_list.m_hWnd)
        return;
    m_list.DeleteAllItems();
    while (m_list.GetColumnCount() > 0)
        m_list.DeleteColumn(0);
    m_backups.clear();
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_backups = EnumerateBackups(GetBackupFolder());
    m_list.m_hNotifyWnd = m_hWnd;
    m_list.InsertColumn(0, "Backup", LVCFMT_LEFT, 301);
    m_list.InsertColumn(1, "Date of Backup", LVCFMT_LEFT, 264);
    FillList();
}

void CAdvanceOptions::FillList()
{
    for (size_t index = 0; index < m_backups.size(); ++index) {
        const int row = m_list.InsertItem(static_cast<int>(index), m_backups[index].name);
        m_list.SetItemText(row, 1, m_backups[index].date);
        m_list.SetItemData(row, index);
    }
}

const BACKUP_RECORD* CAdvanceOptions::SelectedBackup() const
{
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0)
        return nullptr;
    const size_t index = static_cast<size_t>(m_list.GetItemData(row));
    return index < m_backups.size() ? &m_backups[index] : nullptr;
}

void CAdvanceOptions::EnableButtons(BOOL enable)
{
    for (CxSkinButton* button : { &m_backupButton, &m_restoreButton, &m_deleteButton }) {
        if (button->m_hWnd)
            button->EnableWindow(enable);
    }
}

bool CAdvanceOptions::StartJob(bool restore, const CString& path)
{
    CQuillonApp* app = QuillonApp();
    EnableButtons(FALSE);
    m_bRestoring = restore;
    m_strRestorePath = restore ? path : CString();
    m_finishedResult = 0;
    m_keysNotRead = 0;
    m_valuesNotRead = 0;
    const int started = restore ? app->m_pProcess->StartRestore(path, this) : app->m_pProcess->StartBackup("C:\\", this);
    if (started != 1) {
        m_bRestoring = false;
        m_strRestorePath.Empty();
        EnableButtons(TRUE);
        AfxMessageBox(restore ? "Please stop other active operation before starting registry restore."
                              : "Please stop other active operation before starting registry backup.",
                      MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (m_hWnd && !m_bTimerRunning) {
        SetTimer(kProgressTimer, kProgressIntervalMs);
        m_bTimerRunning = true;
    }
    app->m_pProcess->Resume();
    return true;
}

void CAdvanceOptions::OnCreateBackup()
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pProcess)
        return;
    if (app->m_pProcess->IsRunning()) {
        AfxMessageBox("Please stop other active operation before starting registry backup.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    StartJob(false, CString());
}

void CAdvanceOptions::OnRestore()
{
    if (!m_list.m_hWnd || m_list.GetItemCount() == 0)
        return;
    if (const BACKUP_RECORD* backup = SelectedBackup()) {
        const CString path = backup->path;
        if (FileExists(path))
            RestoreBackup(path);
        else
            DeleteBackupFile(path);
    }
    RefreshBackupList();
}

void CAdvanceOptions::RestoreBackup(const CString& path)
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pProcess)
        return;
    if (app->m_pProcess->IsRunning()) {
        AfxMessageBox("Please stop other active operation before starting registry restore.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    StartJob(true, path);
}

void CAdvanceOptions::OnDelete()
{
    if (!m_list.m_hWnd || m_list.GetItemCount() == 0)
        return;
    if (const BACKUP_RECORD* backup = SelectedBackup()) {
        if (FileExists(backup->path))
            DeleteBackupFile(backup->path);
    }
    RefreshBackupList();
}

// ---- CAbstractStatus: the engine's job thread ---------------------------------------------------

void CAdvanceOptions::SetProgress(int phase)
{
    if (phase == PROGRESS_BEGIN) {
        const bool restore = m_bRestoring;
        m_step = restore ? 1 : 19;
        m_position = restore ? 0 : 5;
    } else if (phase == PROGRESS_STEP) {
        // As a progress bar steps: past its end it starts again from the beginning.
        int next = m_position + m_step;
        if (next > kProgressRange)
            next -= kProgressRange;
        m_position = next;
    } else if (phase == PROGRESS_END) {
        m_position = kProgressRange;
    }
}

void CAdvanceOptions::ReportItem(const char* item, int, int value, INT_PTR extra)
{
    if (item && std::strcmp(item, ITEM_BACKUP_SKIPPED) == 0) {
        m_keysNotRead = value;
        m_valuesNotRead = static_cast<int>(extra);
    }
}

int CAdvanceOptions::OperationFinished(int result)
{
    m_finishedResult = result;
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_BACKUP_FINISHED, 0, 0);
    return 1;
}

// ---- The window thread ----------------------------------------------------------------------------

void CAdvanceOptions::DrawProgress()
{
    if (m_progress.m_hWnd && m_progress.GetPos() != m_position)
        m_progress.SetPos(m_position);
}

void CAdvanceOptions::OnTimer(UINT_PTR id)
{
    if (id == kProgressTimer)
        DrawProgress();
}

LRESULT CAdvanceOptions::OnBackupFinished(WPARAM, LPARAM)
{
    if (m_bTimerRunning) {
        KillTimer(kProgressTimer);
        m_bTimerRunning = false;
    }
    DrawProgress();
    CQuillonApp* app = QuillonApp();
    // The restored file may be deleted, and another job started, only once the job's thread is gone.
    if (app)
        WaitForEngineJob(app->m_pProcess);
    const int result = m_finishedResult;
    const bool restore = m_bRestoring;
    const CString restoredPath = m_strRestorePath;
    m_bRestoring = false;
    m_strRestorePath.Empty();
    // A restore that did not finish keeps its file: it is still the way back.
    if (restore && result == 1 && !restoredPath.IsEmpty())
        DeleteBackupFile(restoredPath);
    EnableButtons(TRUE);
    RefreshBackupList();
    AfxMessageBox(BackupFinishedMessage(restore, result, m_keysNotRead, m_valuesNotRead), MB_OK | MB_ICONINFORMATION);
    return 0;
}

HBRUSH CAdvanceOptions::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this)
        return m_hPageBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}
