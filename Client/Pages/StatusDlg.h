// CStatusDlg: the statistics page: per category the errors of the last scan, what the last
// repair cleaned and how many ignore-list entries it has, the date of the last scan and the
// running totals, as the settings key and the ignore list hold them.
#pragma once

#include "Label.h"
#include "ScanCategories.h"
#include "SkinPage.h"
#include "resource.h"

// What one repair removed: per registry category (rows of the scan categories) and the junk.
struct REPAIR_COUNTS
{
    int cleaned[kRegistryCategoryCount] = {};
    double recycleBinKB = 0;
    double tempFilesKB = 0;
};

// The running totals after a repair: errors cleaned and kilobytes of junk removed to date.
struct REPAIR_TOTALS
{
    DWORD cleaned = 0;
    DWORD junkKB = 0;
};

// Stores a repair's counts in place of the last repair's and adds them to the running totals
// as the settings key holds them now. FALSE when the key cannot be opened: nothing is stored and
// the totals are this repair's own.
BOOL StoreRepairStatistics(const REPAIR_COUNTS& counts, REPAIR_TOTALS* totals);

class CStatusDlg : public CSkinPage
{
public:
    CStatusDlg() : CSkinPage(IDD_STATISTICS, 134) {}

    BOOL OnInitDialog() override;

    // Reads the stored counts into the labels.
    void LoadStatistics();
    // Counts the ignore-list entries of each category into the Ignored column.
    void UpdateFromScanItems();
    // Shows a repair's counts and the new totals (the stored values are written apart).
    void ShowRepairCounts(const REPAIR_COUNTS& counts, const REPAIR_TOTALS& totals);
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
