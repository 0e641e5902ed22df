// CAdvanceOptions: the backup page. It lists the registry backup files in the "Backup" folder
// beside the program, makes a new whole-registry backup, restores a chosen backup (and then
// deletes its file) and deletes a chosen backup. Backing up and restoring are engine jobs that
// report through the page's own CAbstractStatus: the job thread only records the progress and
// the job's result and posts WM_BACKUP_FINISHED; the window thread draws and finishes the job.
#pragma once

#include <atomic>
#include <vector>

#include "ItemListCtrl.h"
#include "Label.h"
#include "SkinPage.h"
#include "VexaEngine.h"
#include "xSkinButton.h"
#include "resource.h"

struct BACKUP_RECORD
{
    CString name;  // the file name without its extension
    CString path;  // the file's full path
    CString date;  // its creation time, as the list shows it; empty when it cannot be read
};

// "a.b.rbk" -> "a.b"; a name whose only dot is its first character, or without dot, stays whole.
CString BackupNameOf(const CString& fileName);
// "March 03, 2009 (14:05:09)"
CString FormatBackupDate(const SYSTEMTIME& localTime);
// The backups in `folder` ("*.rbk", no folders), in the reverse of the order the search returns.
std::vector<BACKUP_RECORD> EnumerateBackups(const CString& folder);
// The folder the engine writes backups to: "Backup" beside the running program.
CString GetBackupFolder();
// Deletes the file, or leaves it for deletion at the next restart when it is locked. TRUE when
// the file is gone now (also when it was gone already, which asks nothing of the restart).
BOOL DeleteBackupFile(const CString& path);
// What the page tells when a job has ended with the engine's result (1 = done); a backup that
// left keys or values out because they could not be read says how many.
CString BackupFinishedMessage(bool restore, int result, int keysNotRead = 0, int valuesNotRead = 0);

class CAdvanceOptions : public CSkinPage, public CAbstractStatus
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
    void InitSkin();
    void SetFonts();
    void FillList();
    void EnableButtons(BOOL enable);
    void RestoreBackup(const CString& path);
    // Starts the job that `start` asks for; on a refusal the page is as before and says why.
    bool StartJob(bool restore, const CString& path);
    const BACKUP_RECORD* SelectedBackup() const;
    void DrawProgress();

    CLabel m_information;
    CLabel m_details;
    HBRUSH m_hPageBrush;
    std::vector<BACKUP_RECORD> m_backups;
    CItemListCtrl m_list;
    // The backup being restored; empty when none (so also during a backup).
    CString m_strRestorePath;
    CxSkinButton m_restoreButton;
    CProgressCtrl m_progress;
    CxSkinButton m_deleteButton;
    CxSkinButton m_backupButton;

    // Written by the job thread, read by the window thread.
    std::atomic<int> m_position{ 0 };
    std::atomic<int> m_step{ 1 };
    std::atomic<int> m_finishedResult{ 0 };
    std::atomic<int> m_keysNotRead{ 0 };
    std::atomic<int> m_valuesNotRead{ 0 };
    std::atomic<bool> m_bRestoring{ false };
    bool m_bTimerRunning = false;
};
