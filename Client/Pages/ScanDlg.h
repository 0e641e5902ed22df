// CScanDlg: the scan wizard's first step. Sixteen category boxes, whose choice is kept in the
// settings value "LastSelectedScanTypes", Select All and the Scan button; it also holds the
// wizard's current step and switches between the wizard's pages.
#pragma once

#include "FramedCheckBox.h"
#include "Label.h"
#include "ScanCategories.h"
#include "SkinPage.h"
#include "xSkinButton.h"
#include "resource.h"

// The wizard's steps.
enum WIZARD_STEP {
    STEP_SELECT = 2,
    STEP_SCANNING = 7,
    STEP_RESULTS = 8,
    STEP_SUMMARY = 9,
    STEP_RESHOW = 10,
};

// The stored choice of categories; all sixteen when none is stored (and then it is written).
// FALSE when the settings key cannot be opened.
BOOL LoadScanChoice(DWORD& mask);
// Sets or clears one category bit of the stored choice; returns the stored value after it.
DWORD StoreScanChoiceBit(DWORD bit, BOOL ticked);
// The stored choice, FALSE when it cannot be read.
BOOL ReadScanChoice(DWORD& mask);

class CScanDlg : public CSkinPage
{
public:
    CScanDlg();
    ~CScanDlg() override;

    BOOL OnInitDialog() override;

    // Refuses while a job runs or nothing is ticked; otherwise starts the scanning page's scan
    // and goes to step 7.
    void StartScan();
    DWORD GetSelectedScanTypes() const;
    // The Scan button: Enter starts the scan of the categories ticked.
    HWND GetFocusOnArrival() const override;
    // Stores the step first, then shows its page. Only the scan's own end leads into the
    // results with a repair (when so set); re-showing a step never repeats that.
    void ShowStep(int step);
    // Shows the page and labels of the current step, and nothing else.
    void DisplayCurrentStep();
    int GetStep() const { return m_nStep; }
    // Moves the wizard to a step without showing it (the next showing of the wizard shows it).
    void SetStep(int step) { m_nStep = step; }
    // The scan that just ended asks for the automatic repair: the next step into the results
    // starts it, once.
    void RequestAutoRepair() { m_bAutoRepairRequested = true; }
    // Back to the first step without showing anything (the findings were discarded).
    void ResetStep()
    {
        m_nStep = STEP_SELECT;
        m_bAutoRepairRequested = false;
    }

    void LoadLastSelectedScanTypes();
    void UpdateSelectAll();

    int m_nScanMode = 0;

protected:
    void OnCategoryBox(UINT id);
    void OnSelectAll();
    void OnScan();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    DECLARE_MESSAGE_MAP()

private:
    void SetFonts();
    void CheckAll(BOOL check);

    HBRUSH m_hWhiteBrush;
    CLabel m_details;
    CxSkinButton m_scanButton;
    // Its label is in the page's picture, under the box's window.
    CFramedCheckBox m_selectAll;
    CLabel m_nameLabels[11];
    CLabel m_headingCheck;
    CLabel m_headingDetails;
    CLabel m_headingSelectAll;
    int m_nStep = STEP_SELECT;
    bool m_bAutoRepairRequested = false;
};
