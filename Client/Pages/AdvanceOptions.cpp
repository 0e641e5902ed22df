#include "AdvanceOptions.h"

#include <cstring>

#include "CodePagePath.h"
#include "Kelvara.h"
#include "Messages.h"
#include "WideFileSearch.h"

namespace {

const UINT kProgressIntervalMs = 100;
const char kBackupBusy[] = "Please stop other active operation before starting registry backup.";
const char kRestoreBusy[] = "Please stop other active operation before starting registry restore.";

const char* const kMonthNames[12] = { "January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December" };

DWORD AttributesOf(const std::wstring& path)
{
    return ::GetFileAttributesW(GetLongPathForm(path).c_str());
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsGone(const std::wstring& path)
{
    if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsInUse(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

CString DateOf(const WIN32_FIND_DATAW& found)
{
    FILETIME local = {};
    SYSTEMTIME time = {};
    if (!::FileTimeToLocalFileTime(&found.ftCreationTime, &local) || !::FileTimeToSystemTime(&local, &time))
        return CString();
    return FormatBackupDate(time);
}

// A name in a message, as well as the code page can show it: a letter it lacks shows as "?",
// never as a look-alike that would name another backup.
CString Shown(const std::wstring& name)
{
    const int wideLength = static_cast<int>(name.size());
    const int length =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return CString();
    std::string text(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), wideLength, &text[0], length, nullptr, nullptr);
    return CString(text);
}

} // namespace

std::wstring BackupNameOf(const std::wstring& fileName)
{
    const size_t dot = fileName.rfind(L'.');
    return dot != std::wstring::npos && dot > 0 ? fileName.substr(0, dot) : fileName;
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

std::wstring GetBackupFolder()
{
    std::vector<wchar_t> program(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size())
        return std::wstring();
    const std::wstring path(program.data(), length);
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1) + L"Backup";
}

std::vector<BACKUP_RECORD> EnumerateBackups(const std::wstring& folder)
{
    std::vector<BACKUP_RECORD> backups;
    CWideFileSearch search(GetLongPathForm(folder + L"\\*.rbk"));
    for (bool more = search.Found(); more; more = search.Next()) {
        const WIN32_FIND_DATAW& found = search.Data();
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        BACKUP_RECORD record;
        record.name = BackupNameOf(found.cFileName);
        record.path = folder + L"\\" + found.cFileName;
        record.date = DateOf(found);
        if (!record.name.empty())
            backups.push_back(record);
    }
    return std::vector<BACKUP_RECORD>(backups.rbegin(), backups.rend());
}

BACKUP_REMOVAL DeleteBackupFile(const std::wstring& path, DWORD* error)
{
    const std::wstring callable = GetLongPathForm(path);
    if (::DeleteFileW(callable.c_str()) || IsGone(path))
        return BACKUP_REMOVED;
    const DWORD reason = ::GetLastError();
    if (error)
        *error = reason;
    // In use: the system deletes it at the next restart, by the name it really has.
    if (IsInUse(reason) && ::MoveFileExW(callable.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return BACKUP_REMOVED_AT_RESTART;
    return BACKUP_NOT_REMOVED;
}

CString BackupRemovalMessage(const std::wstring& name, BACKUP_REMOVAL removal, DWORD error)
{
    CString text;
    if (removal == BACKUP_REMOVED_AT_RESTART)
        text.Format("The backup \"%s\" is in use. It will be removed when Windows restarts.", Shown(name).GetString());
    else if (removal == BACKUP_NOT_REMOVED && error == ERROR_ACCESS_DENIED)
        text.Format("The backup \"%s\" cannot be removed: the file or its folder is read-only.", Shown(name).GetString());
    else if (removal == BACKUP_NOT_REMOVED)
        text.Format("The backup \"%s\" cannot be removed (system error %lu).", Shown(name).GetString(), error);
    return text;
}

CString BackupNotRestorableMessage(const std::wstring& name)
{
    CString text;
    text.Format("The backup \"%s\" cannot be restored: its name or path cannot be handed to the restore on this "
                "system (too long, or letters the system's code page lacks, and no short name).",
                Shown(name).GetString());
    return text;
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

CAdvanceOptions::CAdvanceOptions()
    : CSkinPage(IDD_BACKUP, 197), m_job(*this, *this, WM_BACKUP_FINISHED, kProgressIntervalMs)
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
    m_progress.SetRange(0, CSteppedProgress::kRange);
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
    m_list.InsertColumn(0, "Backup", LVCFMT_LEFT, kNameColumnWidth);
    m_list.InsertColumn(1, "Date of Backup", LVCFMT_LEFT, DateColumnWidth());
    FillList();
}

// The date column is at most its own width and never wider than what the name column leaves:
// a list drawn narrower than both would otherwise show a horizontal scroll bar for nothing.
int CAdvanceOptions::DateColumnWidth() const
{
    CRect client;
    m_list.GetClientRect(&client);
    const int room = client.Width() - kNameColumnWidth - ::GetSystemMetrics(SM_CXVSCROLL);
    return room > 0 && room < kDateColumnWidth ? room : kDateColumnWidth;
}

void CAdvanceOptions::FillList()
{
    for (size_t index = 0; index < m_backups.size(); ++index)
        InsertRow(static_cast<int>(index), m_backups[index]);
}

// The name goes in as the system spells it (the list keeps wide text whatever its window's
// character set), so a name the code page cannot spell shows as it is and not as "?".
void CAdvanceOptions::InsertRow(int index, const BACKUP_RECORD& backup)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(backup.name.c_str());
    item.lParam = static_cast<LPARAM>(index);
    const int row = static_cast<int>(::SendMessageW(m_list.m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row >= 0)
        m_list.SetItemText(row, 1, backup.date);
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

bool CAdvanceOptions::StartJob(const BACKUP_RECORD* backup, const CString& enginePath)
{
    CQuillonApp* app = QuillonApp();
    const bool restore = backup != nullptr;
    EnableButtons(FALSE);
    m_bRestoring = restore;
    m_restoring = restore ? *backup : BACKUP_RECORD();
    m_strRestorePath = enginePath;
    m_finishedResult = 0;
    m_keysNotRead = 0;
    m_valuesNotRead = 0;
    return m_job.Start(app->m_pProcess, restore ? kRestoreBusy : kBackupBusy);
}

int CAdvanceOptions::StartEngineJob(CAbstractProcess* process)
{
    return m_bRestoring ? process->StartRestore(m_strRestorePath, this) : process->StartBackup("C:\\", this);
}

void CAdvanceOptions::OnEngineJobRefused()
{
    m_bRestoring = false;
    m_restoring = BACKUP_RECORD();
    m_strRestorePath.Empty();
    EnableButtons(TRUE);
}

void CAdvanceOptions::OnCreateBackup()
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pProcess)
        return;
    if (CPageJob::IsEngineFree(app->m_pProcess, kBackupBusy))
        StartJob(nullptr, CString());
}

void CAdvanceOptions::OnRestore()
{
    if (!m_list.m_hWnd || m_list.GetItemCount() == 0)
        return;
    if (const BACKUP_RECORD* selected = SelectedBackup()) {
        // A copy: the list, and the records with it, are read again below.
        const BACKUP_RECORD backup = *selected;
        if (FileExists(backup.path))
            RestoreBackup(backup);
        else
            DeleteBackupFile(backup.path);
    }
    RefreshBackupList();
}

void CAdvanceOptions::RestoreBackup(const BACKUP_RECORD& backup)
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pProcess)
        return;
    if (!CPageJob::IsEngineFree(app->m_pProcess, kRestoreBusy))
        return;
    // The engine opens the file with the ANSI calls: it gets a name that they open as this very
    // file, never one the code page spells as another.
    CString enginePath;
    if (!GetCodePagePath(backup.path, enginePath)) {
        AfxMessageBox(BackupNotRestorableMessage(backup.name), MB_OK | MB_ICONWARNING);
        return;
    }
    StartJob(&backup, enginePath);
}

void CAdvanceOptions::OnDelete()
{
    if (!m_list.m_hWnd || m_list.GetItemCount() == 0)
        return;
    if (const BACKUP_RECORD* selected = SelectedBackup()) {
        const BACKUP_RECORD backup = *selected;
        if (FileExists(backup.path))
            RemoveBackup(backup);
    }
    RefreshBackupList();
}

void CAdvanceOptions::RemoveBackup(const BACKUP_RECORD& backup)
{
    DWORD error = 0;
    const BACKUP_REMOVAL removal = DeleteBackupFile(backup.path, &error);
    if (removal != BACKUP_REMOVED)
        AfxMessageBox(BackupRemovalMessage(backup.name, removal, error), MB_OK | MB_ICONWARNING);
}

// ---- CAbstractStatus: the engine's job thread ---------------------------------------------------

void CAdvanceOptions::SetProgress(int phase)
{
    const bool restore = m_bRestoring;
    m_steps.OnPhase(phase, restore ? 0 : 5, restore ? 1 : 19);
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
    m_job.PostEnd();
    return 1;
}

// ---- The window thread ----------------------------------------------------------------------------

void CAdvanceOptions::DrawJobProgress()
{
    m_steps.DrawOn(m_progress);
}

void CAdvanceOptions::OnTimer(UINT_PTR id)
{
    m_job.OnTimer(id);
}

LRESULT CAdvanceOptions::OnBackupFinished(WPARAM, LPARAM)
{
    // The restored file may be deleted, and another job started, only once the job's thread is gone.
    CQuillonApp* app = QuillonApp();
    m_job.Finish(app ? app->m_pProcess : nullptr);
    DrawJobProgress();
    const int result = m_finishedResult;
    const bool restore = m_bRestoring;
    const BACKUP_RECORD restored = m_restoring;
    m_bRestoring = false;
    m_restoring = BACKUP_RECORD();
    m_strRestorePath.Empty();
    // A restore that did not finish keeps its file: it is still the way back. A finished one
    // deletes the file it was started on, by the name the row showed.
    BACKUP_REMOVAL removal = BACKUP_REMOVED;
    DWORD error = 0;
    if (restore && result == 1 && !restored.path.empty())
        removal = DeleteBackupFile(restored.path, &error);
    EnableButtons(TRUE);
    RefreshBackupList();
    AfxMessageBox(BackupFinishedMessage(restore, result, m_keysNotRead, m_valuesNotRead), MB_OK | MB_ICONINFORMATION);
    if (removal != BACKUP_REMOVED)
        AfxMessageBox(BackupRemovalMessage(restored.name, removal, error), MB_OK | MB_ICONWARNING);
    return 0;
}

HBRUSH CAdvanceOptions::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this)
        return m_hPageBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}
