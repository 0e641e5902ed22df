// CScanningDlg: the scan wizard's second step. It starts the engine's scan job, shows its
// progress row by row and files every finding in the found-item container; when the job has
// ended it stores the last-scan date and counts, hands its counts to the results page and lets
// the user go on (or goes on by itself when automatic repair is set).
//
// The engine's job thread reports through the page's CAbstractStatus implementation into a
// CScanProgress; it never touches a window. The window thread draws what changed on a timer,
// hands the new findings to the results page (whose tree grows while the scan runs) and handles
// the end of the job when WM_SCAN_FINISHED arrives: the results page puts in what is left between
// the window's other messages, and says when it is ready (WM_RESULTS_READY); only then can the
// user go on.
#pragma once

#include <set>

#include "ItemListCtrl.h"
#include "Label.h"
#include "PageJob.h"
#include "PictureEx.h"
#include "ScanProgress.h"
#include "SkinPage.h"
#include "xSkinButton.h"
#include "resource.h"

class CScanningDlg : public CSkinPage, public CAbstractStatus, private CAbstractPageJobOwner
{
public:
    CScanningDlg();
    ~CScanningDlg() override;

    BOOL OnInitDialog() override;

    // Resets the page and starts the engine's scan job; FALSE when the engine refused it, which
    // `busyText` then tells.
    BOOL StartScan(const char* busyText);
    // Decodes the animation of every category row, once; a scan start does it if nothing has.
    void LoadRowAnimations();
    // Decodes the frames of the next row still without them; true while rows without them remain.
    bool LoadNextRowAnimation();
    bool AreRowAnimationsLoaded() const { return m_bAnimationsLoaded; }
    // The folders that the scan walks for shortcuts and temporary files.
    static std::set<CString> BuildFolderSet();
    // The pictures of a category row's result: found nothing, found something.
    HBITMAP TickOf(int row) const;
    HBITMAP CrossOf(int row) const;

    // CAbstractStatus, called on the engine's job thread.
    void SetActivity(const char* text, const char* area) override;
    void SetProgress(int phase) override;
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override;
    int OperationFinished(int result) override;
    int ReportResult(int code) override;

    void OnCancelScan();
    void OnPause();
    void OnResume();
    void OnNext();
    void OnBack();

    // Next once the scan has ended; while it runs, Pause (or Resume), never Cancel at once.
    HWND GetFocusOnArrival() const override;

    // Draws what the job thread recorded since the last time; `ended` at the job's end.
    void ApplyProgress(bool ended = false);
    // From the end of the job until the results page is ready.
    bool IsAwaitingResults() const { return m_bAwaitingResults; }

    int m_nScanMode = 0;
    DWORD m_dwCategories = 0;
    CString m_strScanPath;
    DWORD m_dwStartTick = 0;
    DWORD m_dwEndTick = 0;
    BOOL m_bScanning = TRUE;
    CScanProgress m_progress;

protected:
    LRESULT OnScanFinished(WPARAM, LPARAM);
    LRESULT OnResultsReady(WPARAM, LPARAM);
    void OnGetShownItemText(NMHDR* header, LRESULT* result);
    void OnTimer(UINT_PTR id);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    DECLARE_MESSAGE_MAP()

private:
    void MarkCategoryRow(int row);
    void StopAnimation();
    void SaveLastScanCounts();
    void SetResultImage(int row, HBITMAP bitmap);
    void ShowButtons(bool scanning);
    // CAbstractPageJobOwner: the scan. The container is emptied as the engine takes the job, and
    // the results page begins its tree.
    int StartEngineJob(CAbstractProcess* process) override;
    void OnEngineJobRefused() override;
    void OnEngineJobTaken() override;
    void DrawJobProgress() override;
    // Rows, counters and labels as at the start of a scan.
    void ResetPage();
    // The row's spinner, decoded when first wanted.
    CPictureEx& Spinner(int row);

    HBRUSH m_hWhiteBrush;
    HBRUSH m_hActivityBrush;
    HBRUSH m_hErrorsBrush;
    CBitmap m_crossLight;
    CBitmap m_crossDark;
    CBitmap m_idle;
    CBitmap m_tickLight;
    CBitmap m_tickDark;

    CProgressCtrl m_overallBar;
    CProgressCtrl m_currentBar;
    CLabel m_activity;
    CLabel m_errors;
    CLabel m_junk;
    CxSkinButton m_cancel;
    CxSkinButton m_pause;
    CxSkinButton m_resume;
    CxSkinButton m_back;
    CxSkinButton m_next;
    // The list of shown items holds no text of its own: it shows m_shownEntries, which can grow
    // by tens of thousands in one scan.
    CItemListCtrl m_shownItems;
    std::vector<SCAN_LIST_ENTRY> m_shownEntries;
    CPictureEx m_icons[kCategoryCount];
    CStatic m_images[kCategoryCount];
    CLabel m_counts[kRegistryCategoryCount];

    // What the window shows now, so that only changes are drawn.
    SCAN_PROGRESS_VIEW m_shown;
    DWORD m_drawnCrosses = 0;
    CPageJob m_job;
    // The folders the running scan walks, as its start gathered them.
    std::set<CString> m_scanFolders;
    bool m_bAwaitingResults = false;
    // The focus was on the scan's buttons when the scan ended: it goes to Next when that shows.
    bool m_bKeysOnButtons = false;
    int m_nAnimatedRow = -1;
    bool m_bAnimationsLoaded = false;
    int m_nRowsDecoded = 0;
};
