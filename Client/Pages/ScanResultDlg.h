// CScanResultDlg: the wizard's third step, the findings of the last scan. So far it holds what the
// scanning page hands over at the end of a scan (the counts, the junk text, its two labels) and
// the size format that the statistics page shares; the category tree and the repair are still to
// come.
#pragma once

#include "Label.h"
#include "VexaEngine.h"
#include "SkinPage.h"
#include "xSkinButton.h"
#include "resource.h"

class CScanResultDlg : public CSkinPage
{
public:
    CScanResultDlg() : CSkinPage(IDD_RESULTS, 367) {}

    BOOL OnInitDialog() override;

    // Rebuilds the page from the found-item container after a scan.
    void FillResults();
    // Starts the repair of what is ticked (the auto-repair start comes here too).
    void OnRepair();
    void OnRegistryErrorsView();
    void OnOtherErrorsView();
    void OnBack();
    void EnableBack();

    // counts[bit number] := the container's count of each registry category; returns their sum.
    static int CountPerCategory(CAbstractScanItemsInfo* items, int counts[24]);
    int CountPerCategory(int counts[24]);
    // Kilobytes as the pages show sizes: "%.0fKB", "%.0fMB", "%.1fGB" or "%.2fTB".
    static CString FormatSize(double kilobytes);

    int m_nTotalErrors = 0;
    int m_nSelectedErrors = 0;
    int m_nJunkFilesFound = 0;
    CString m_strJunkText;

    CLabel m_title;
    CLabel m_found;
    CLabel m_selected;
    CLabel m_junk;
    CxSkinButton m_back;
    CxSkinButton m_next;

protected:
    DECLARE_MESSAGE_MAP()
};
