// CStatusDlg: the statistics page: per category the errors of the last scan and what the last
// repair cleaned, the date of the last scan and the running totals, as the settings key holds them.
#pragma once

#include "Label.h"
#include "ScanCategories.h"
#include "SkinPage.h"
#include "resource.h"

class CStatusDlg : public CSkinPage
{
public:
    CStatusDlg() : CSkinPage(IDD_STATISTICS, 134) {}

    BOOL OnInitDialog() override;

    // Reads the stored counts into the labels.
    void LoadStatistics();
    // A new scan starts: the first eleven error counts and their total go to 0.
    void ResetErrorCounts();
    // The cleaned counts and sizes of the last repair go to 0; the running totals stay.
    void ResetCleanCounts();

    void SetErrorText(int row, const CString& text);
    void SetTotalErrorsText(const CString& text);
    void SetLastScanText(const CString& text);

    CLabel m_errorLabels[kCategoryCount];
    CLabel m_cleanedLabels[kCategoryCount];
    CLabel m_ignoredLabels[kRegistryCategoryCount];
    CLabel m_lastScan;
    CLabel m_cleanedToDate;
    CLabel m_junkToDate;
    CLabel m_totalErrors;
    CLabel m_lastScanHeading;
    DWORD m_nCleanedToDate = 0;
    DWORD m_nJunkToDateKB = 0;
};

// The statistics values of the cleaned counts, in row order.
extern const char* const kCleanedValueNames[kCategoryCount];
