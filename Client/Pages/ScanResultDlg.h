// CScanResultDlg: the wizard's third step. It shows what the last scan found as a tree of
// categories with ticks, lets the user untick entries, put single entries on the ignore list and
// choose whether the Recycle Bin and the temporary files are emptied, and starts the engine's
// repair of what is ticked: after an optional System Restore point and scan log, and always
// after the engine's partial backup. When the repair's job has ended it stores what was really
// removed in the statistics, fills the scan summary and shows the statistics page (or closes the
// program when so set).
//
// The engine's job thread reports through the page's CAbstractStatus implementation into a
// CRepairReport and posts WM_REPAIR_FINISHED; everything else runs on the window thread. Its long
// work (the tree of a scan's findings, the look at what a repair removed, emptying the trees of
// earlier scans) goes in slices between the window's other messages.
#pragma once

#include <map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "CheckedTreeCtrl.h"
#include "Label.h"
#include "PageJob.h"
#include "RepairOutcome.h"
#include "RepairReport.h"
#include "RestorePoint.h"
#include "RetiredResults.h"
#include "ScanItemsInfo.h"
#include "ScanCategories.h"
#include "ScanProgress.h"
#include "SkinPage.h"
#include "SliceScheduler.h"
#include "TimeBudget.h"
#include "VexaEngine.h"
#include "xSkinButton.h"
#include "resource.h"

class CScanResultDlg : public CSkinPage,
                       public CAbstractStatus,
                       public CCheckedTreeOwner,
                       private CAbstractPageJobOwner
{
public:
    CScanResultDlg();
    ~CScanResultDlg() override;

    BOOL OnInitDialog() override;

    // Rebuilds the page from the found-item container, at once.
    void FillResults();
    // The results of a scan, built while the scan runs: BeginResults empties the page for the
    // scan's categories; QueueFindings takes what the scan found since (the tree grows in slices
    // between the window's messages); CompleteResults, at the scan's end, puts the rest in: true
    // when the page is ready now, else it goes on in slices and posts `readyMessage` to `notify`
    // when it is.
    void BeginResults(DWORD categories);
    void QueueFindings(std::vector<SCAN_FINDING>& findings);
    bool CompleteResults(HWND notify, UINT readyMessage);
    // Earlier results' memory, freed in slices while no job runs.
    void RetireMemory(std::unique_ptr<CReleasable> memory);
    // From BeginResults until the page is ready: nothing may repair from it or replace it.
    bool IsPreparingResults() const { return m_bPreparing; }
    // The tree of the findings (Space unticks the selected row), or the first control of the view.
    HWND GetFocusOnArrival() const override;
    // Starts the repair of what is ticked (the automatic repair after a scan comes here too).
    void OnRepair();
    void OnRegistryErrorsView();
    void OnOtherErrorsView();
    void OnBack();
    void EnableBack();
    // Puts the selected entry on the ignore list and takes it out of the tree; when the list
    // cannot be saved it says so and the entry stays.
    void OnIgnore();
    // From Fix Errors until what the repair removed is stored (questions included), while the
    // results are prepared, and while the wizard's results wait with entries to choose from (on
    // this page, or on the scanning page after Back): the found-item container and the tree hold
    // the user's choice then, and no scan may replace it.
    bool IsHoldingUserChoices() const;
    // The wizard shows these results: from now on they hold the user's choices, also after Back.
    void OnShownToUser() { m_bSeenByUser = true; }

    // CCheckedTreeOwner
    void OnSelectedCountChanged(int delta) override;
    void UpdateDescription(const CString& description) override;
    // The description area shows the entry's whole text, in lines at its separators.
    void ShowSelectedEntry(const CString& shownText) override;

    // CAbstractStatus, called on the engine's job thread.
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override;
    int OperationFinished(int result) override;
    int ReportResult(int) override { return 0; }

    // counts[bit number] := the container's count of each registry category; returns their sum.
    static int CountPerCategory(CAbstractScanItemsInfo* items, int counts[24]);
    int CountPerCategory(int counts[24]);
    // Kilobytes as the pages show sizes: "%.0fKB", "%.0fMB", "%.1fGB" or "%.2fTB".
    static CString FormatSize(double kilobytes);
    // Writes the scan log beside the program, or into the "Scan Logs" folder of `otherFolder`
    // when that cannot be written. FALSE when neither could; `path` gets the file written.
    static BOOL WriteScanLog(CScanItemsInfo* items, const CString& otherFolder, CString* path);
    // What the page says of the selected entries a repair left alone: a line for each reason
    // (NOT_DONE_REASON) with its count; empty when none was left alone.
    static CString LeftAloneText(const int counts[kNotDoneReasons]);
    // The selection label's text.
    CString SelectionText() const;

    int m_nTotalErrors = 0;
    int m_nSelectedErrors = 0;
    int m_nJunkFilesFound = 0;
    CString m_strJunkText;
    DWORD m_dwScanCategories = 0;
    // Where the scan log goes when the program's folder cannot take it: the user's documents.
    CString m_strLogFallbackFolder;

    CCheckedTreeCtrl m_tree;
    CRestorePoint m_restorePoint;
    CLabel m_title;
    CLabel m_descriptionHeading;
    CLabel m_description;
    CLabel m_found;
    CLabel m_junk;
    CLabel m_selected;
    CLabel m_status;
    CLabel m_recycleBinLabel;
    CLabel m_tempFilesLabel;
    CButton m_recycleBinBox;
    CButton m_tempFilesBox;
    CProgressCtrl m_progress;
    CxSkinButton m_repair;
    CxSkinButton m_next;
    CxSkinButton m_back;
    CxSkinButton m_ignore;
    CxSkinButton m_registryView;
    CxSkinButton m_otherView;

protected:
    void OnRepairButton() { OnRepair(); }
    void OnRecycleBinBox();
    void OnTempFilesBox();
    LRESULT OnRepairFinished(WPARAM result, LPARAM);
    LRESULT OnSliceMessage(WPARAM, LPARAM);
    void OnTimer(UINT_PTR id);
    void OnDestroy();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message);
    DECLARE_MESSAGE_MAP()

private:
    void InitSkin();
    void SetFonts();
    void CreateTree();
    // A new tree window for new results; the old one is emptied and destroyed in slices.
    void RenewTree();
    // Puts queued findings into the tree until the budget is spent; true when none is left.
    bool InsertQueued(const CTimeBudget& budget);
    // The tree is whole: its labels, selection and counts.
    void FinishResults();
    // One slice of whatever long work is waiting, and the next slice asked for while work is left.
    void RunSlice();
    // Disables the page for a repair, or gives it back when a repair did not start or was refused.
    void SetRepairing(bool repairing);
    void ShowSelection();
    // The found and selected labels from the tree's counts.
    void ShowCounts();
    // The repair ended: the look at which ticked entries are gone begins; the other steps of the
    // repair's end follow it, one a slice.
    void BeginRepairOutcome();
    // One step of the repair's end (some of the look, within the budget).
    void RunRepairEndStep(const CTimeBudget& budget);
    // Some of that look until the budget is spent: the entries the engine left alone, then the
    // ticked entries handed to the look, then the look itself. True once it is done.
    bool CheckOutcomeSome(const CTimeBudget& budget);
    // What the repair removed goes to the statistics and the summary.
    void StoreRepairResults();
    // The last step: the repair is over, the statistics page shows (and the program closes when
    // so set).
    void ShowRepairEnd();
    void FillSummary(int found, int repaired, int skipped);
    static CString RestorePointDescription();

    // CAbstractPageJobOwner: the repair.
    int StartEngineJob(CAbstractProcess* process) override;
    void OnEngineJobRefused() override;

    HBRUSH m_hPageBrush;
    bool m_bRepairPending = false;
    CPageJob m_job;
    CRepairReport m_report;

    CSliceScheduler m_slices;
    // Findings waiting for their rows: those from m_nQueueHead on.
    std::vector<SCAN_FINDING> m_queue;
    size_t m_nQueueHead = 0;
    bool m_bPreparing = false;
    // The results were shown since their scan began (a scan's own page, before Next, holds none of
    // the user's choices yet).
    bool m_bSeenByUser = false;
    bool m_bCompleting = false;
    HWND m_hReadyNotify = nullptr;
    UINT m_uReadyMessage = 0;
    // Earlier results' trees and memory, released between the window's messages.
    CRetiredResults m_retired;
    // The look at what the repair removed, and what it needs once done.
    enum OUTCOME_STEP { OUTCOME_LEFT_ALONE, OUTCOME_GATHER, OUTCOME_LOOK };
    CRepairOutcome m_outcome;
    // The repair's end in steps, each its own slice: until the last, the page stays held for the
    // repair (m_bRepairPending) and nothing the user does reaches it.
    enum REPAIR_END { END_NONE, END_LOOK, END_STORE, END_COUNT_IGNORED, END_LOAD_STATISTICS, END_SHOW };
    REPAIR_END m_repairEnd = END_NONE;
    OUTCOME_STEP m_outcomeStep = OUTCOME_LOOK;
    // The items the engine left alone, from m_nNotDoneHead on still to be found in the tree, and
    // the ticked rows found for them: those are not looked at.
    std::vector<CRepairReport::NOT_DONE> m_notDone;
    size_t m_nNotDoneHead = 0;
    std::unordered_set<HTREEITEM> m_leftAlone;
    CCheckedTreeCtrl::TICKED_WALK m_tickedWalk;
    int m_nOutcomeFound = 0;
    int m_nOutcomeSkipped = 0;
    // The rows left alone, by why (NOT_DONE_REASON).
    int m_nOutcomeLeftAlone[kNotDoneReasons] = {};
};
