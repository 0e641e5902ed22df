// CScanResultDlg: the wizard's third step. It shows what the last scan found as a tree of
// categories with ticks, lets the user untick entries, put single entries on the ignore list and
// choose whether the Recycle Bin and the temporary files are emptied, and starts the engine's
// repair of what is ticked: after an optional System Restore point and scan log, and always
// after the engine's partial backup. When the repair's job has ended it stores what was really
// removed in the statistics, fills the scan summary and shows the statistics page (or closes the
// program when so set).
//
// The engine's job thread reports through the page's CAbstractStatus implementation into a
// CRepairReport and posts WM_REPAIR_FINISHED; everything else runs on the window thread.
#pragma once

#include <map>

#include "CheckedTreeCtrl.h"
#include "Label.h"
#include "RepairReport.h"
#include "RestorePoint.h"
#include "ScanItemsInfo.h"
#include "ScanCategories.h"
#include "SkinPage.h"
#include "VexaEngine.h"
#include "xSkinButton.h"
#include "resource.h"

class CScanResultDlg : public CSkinPage, public CAbstractStatus, public CCheckedTreeOwner
{
public:
    CScanResultDlg();
    ~CScanResultDlg() override;

    BOOL OnInitDialog() override;

    // Rebuilds the page from the found-item container after a scan.
    void FillResults();
    // Starts the repair of what is ticked (the automatic repair after a scan comes here too).
    void OnRepair();
    void OnRegistryErrorsView();
    void OnOtherErrorsView();
    void OnBack();
    void EnableBack();
    // Puts the selected entry on the ignore list and takes it out of the tree; when the list
    // cannot be saved it says so and the entry stays.
    void OnIgnore();
    // From Fix Errors to the end of the repair's job (questions included), and while the wizard
    // waits on this page with entries to choose from: the found-item container and the tree hold
    // the user's choice then, and no scan may replace it.
    bool IsHoldingUserChoices() const;

    // CCheckedTreeOwner
    void OnSelectedCountChanged(int delta) override;
    void UpdateDescription(const CString& description) override;

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
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message);
    DECLARE_MESSAGE_MAP()

private:
    void InitSkin();
    void SetFonts();
    void CreateTree();
    void AddCategoryRows(DWORD mask);
    void FillTree();
    // Disables the page for a repair, or gives it back when a repair did not start or was refused.
    void SetRepairing(bool repairing);
    void ShowSelection();
    // The found and selected labels from the tree's counts.
    void ShowCounts();
    // The repair ended: what it removed goes to the statistics and the summary. Returns the
    // number of ticked entries the engine left alone.
    int StoreRepairResults();
    void FillSummary(int found, int repaired, int skipped);
    static CString RestorePointDescription();

    HBRUSH m_hPageBrush;
    bool m_bCategoryAdded[kRegistryCategoryCount] = {};
    bool m_bRepairPending = false;
    CRepairReport m_report;
};
