// CAdvanceOptions: the backup page. It lists the registry backup files in the "Backup" folder
// beside the program, makes a new whole-registry backup, restores a chosen backup (and then
// deletes its file) and deletes a chosen backup. Backing up and restoring are engine jobs that
// report through the page's own CAbstractStatus: the job thread only records the progress and
// the job's result and posts WM_BACKUP_FINISHED; the window thread draws and finishes the job.
//
// Files are found, shown and acted on by their wide names: the code page may spell a name as
// another file's ("?" or look-alike letters), and a row must never act on a file it does not show.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "ItemListCtrl.h"
#include "Label.h"
#include "PageJob.h"
#include "SkinPage.h"
#include "SteppedProgress.h"
#include "VexaEngine.h"
#include "xSkinButton.h"
#include "resource.h"

struct BACKUP_RECORD
{
    std::wstring name;  // the file name without its extension, as the system spells it
    std::wstring path;  // the file's full path: the row acts on this file and no other
    CString date;       // its creation time, as the list shows it; empty when it cannot be read
};

enum BACKUP_REMOVAL
{
    BACKUP_REMOVED,             // the file is gone (or was gone already)
    BACKUP_REMOVED_AT_RESTART,  // in use: the system deletes it at the next restart
    BACKUP_NOT_REMOVED,         // it stays (read-only, no rights, or the restart would not take it)
};

// "a.b.rbk" -> "a.b"; a name whose only dot is its first character, or without dot, stays whole.
std::wstring BackupNameOf(const std::wstring& fileName);
// "March 03, 2009 (14:05:09)"
CString FormatBackupDate(const SYSTEMTIME& localTime);
// The backups in `folder` ("*.rbk", no folders), in the reverse of the order the search returns.
std::vector<BACKUP_RECORD> EnumerateBackups(const std::wstring& folder);
// The folder the engine writes backups to: "Backup" beside the running program.
std::wstring GetBackupFolder();
// Deletes the file, or leaves it for deletion at the next restart when it is in use. A file that
// is gone already asks nothing of the restart. `error` gets the system's reason for a failure.
BACKUP_REMOVAL DeleteBackupFile(const std::wstring& path, DWORD* error = nullptr);
// What the page tells when a job has ended with the engine's result (1 = done); a backup that
// left keys or values out because they could not be read says how many.
CString BackupFinishedMessage(bool restore, int result, int keysNotRead = 0, int valuesNotRead = 0);
// What the page tells when the backup `name` was not removed at once; empty when it was.
CString BackupRemovalMessage(const std::wstring& name, BACKUP_REMOVAL removal, DWORD error);
// What the page tells when the backup `name` cannot be handed to the restore: its path has no form
// the engine's ANSI calls open (Support/CodePagePath.h).
CString BackupNotRestorableMessage(const std::wstring& name);

class CAdvanceOptions : public CSkinPage, public CAbstractStatus, private CAbstractPageJobOwner
{
public:
    CAdvanceOptions();
    ~CAdvanceOptions() override;

    BOOL OnInitDialog() override;

    void RefreshBackupList();
    const std::vector<BACKUP_RECORD>& GetBackups() const { return m_backups; }

    void OnCreateBackup();
    void OnRestore();
    void OnDelete();

    // CAbstractStatus, called on the engine's job thread.
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int phase) override;
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override;
    int OperationFinished(int result) override;
    int ReportResult(int) override { return 1; }

protected:
    LRESULT OnBackupFinished(WPARAM, LPARAM);
    LRESULT OnListCheck(WPARAM, LPARAM) { return 0; }
    void OnTimer(UINT_PTR id);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    DECLARE_MESSAGE_MAP()

private:
    static constexpr int kNameColumnWidth = 301;
    static constexpr int kDateColumnWidth = 264;

    void InitSkin();
    void SetFonts();
    int DateColumnWidth() const;
    void FillList();
    void EnableButtons(BOOL enable);
    void InsertRow(int index, const BACKUP_RECORD& backup);
    void RestoreBackup(const BACKUP_RECORD& backup);
    void RemoveBackup(const BACKUP_RECORD& backup);
    // Starts a backup, or the restore of `backup` from `enginePath` (its path as the engine opens
    // it); on a refusal the page is as before and says why.
    bool StartJob(const BACKUP_RECORD* backup, const CString& enginePath);
    const BACKUP_RECORD* SelectedBackup() const;

    // CAbstractPageJobOwner
    int StartEngineJob(CAbstractProcess* process) override;
    void OnEngineJobRefused() override;
    void DrawJobProgress() override;

    CLabel m_information;
    CLabel m_details;
    HBRUSH m_hPageBrush;
    std::vector<BACKUP_RECORD> m_backups;
    CItemListCtrl m_list;
    // The backup being restored; empty when none (so also during a backup).
    BACKUP_RECORD m_restoring;
    // Its path as the engine opens it.
    CString m_strRestorePath;
    CxSkinButton m_restoreButton;
    CProgressCtrl m_progress;
    CxSkinButton m_deleteButton;
    CxSkinButton m_backupButton;
    CPageJob m_job;

    // Written by the job thread, read by the window thread.
    CSteppedProgress m_steps{ 1 };
    std::atomic<int> m_finishedResult{ 0 };
    std::atomic<int> m_keysNotRead{ 0 };
    std::atomic<int> m_valuesNotRead{ 0 };
    std::atomic<bool> m_bRestoring{ false };
};
