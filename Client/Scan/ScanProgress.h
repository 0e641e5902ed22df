// CScanProgress: what the scanning page shows of a running scan, kept apart from its windows.
// The engine's job thread records each report here (and files findings in the container); the
// page's window thread takes what changed on a timer and draws it, and hands the new findings to
// the results page, whose tree grows while the scan runs. So the job thread never waits for the
// window thread, and a finding costs one look-up of its entry (in the container).
#pragma once

#include <string>
#include <vector>

#include "ScanCategories.h"
#include "WhiteList.h"

class CScanItemsInfo;

struct SCAN_LIST_ENTRY
{
    CString category;
    CString item;
};

// A finding of a registry category as the container stored it, for the results tree: only the
// first finding of an entry by each category.
struct SCAN_FINDING
{
    int row;                // of the registry categories (ScanCategories.h)
    CString item;
    std::string identity;   // CItemLocation
};

// A copy of the shown state; the lists hold only what changed since the previous copy.
struct SCAN_PROGRESS_VIEW
{
    CString activity;
    int overallPosition = 0;
    int currentPosition = 0;
    std::vector<int> enteredRows;
    DWORD crossedRows = 0;   // 1 << row for every row marked with a cross
    int rowCounts[kRegistryCategoryCount] = {};
    int errorCount = 0;
    int junkCount = 0;
    CString junkLabel;       // the last size text of a junk category; empty while none
    std::vector<SCAN_LIST_ENTRY> newEntries;
    std::vector<SCAN_FINDING> newFindings;
    int scannedItems = 0;
};

class CScanProgress
{
public:
    CScanProgress();
    ~CScanProgress();
    CScanProgress(const CScanProgress&) = delete;
    CScanProgress& operator=(const CScanProgress&) = delete;

    // Before a scan: everything back to zero and the white list read once.
    void Begin(const CString& whiteListPath);

    // Job thread.
    void OnActivity(const char* text, const char* area);
    void OnProgress(int phase);
    void OnItem(CScanItemsInfo* items, const char* item, int category, int value, INT_PTR extra);

    // Window thread.
    void Take(SCAN_PROGRESS_VIEW& view);
    // The user cancelled the scan: from now on the bars stay where they are and no category is
    // entered. Returns the rows whose categories the scan went through to their end (every row
    // it entered before the one it was in).
    DWORD Cancel();
    // Rows whose category has an item in the container.
    DWORD GetFoundRows();
    double GetRecycleBinKB();
    double GetTempFilesKB();
    int GetErrorCount();
    int GetJunkCount();
    CString GetJunkText();
    int GetScannedItems();
    // After the counts went to the results page: errors and junk back to zero, junk text "No".
    void ResetCounts();

    // The bars' ranges, as the page's controls have them.
    static constexpr int kOverallRange = 17;
    static constexpr int kCurrentRange = 100;

private:
    class CLock;
    void OnJunkItem(CScanItemsInfo* items, const CString& item, int category, int value, INT_PTR extra);

    CRITICAL_SECTION m_lock;
    CWhiteList m_whiteList;
    CString m_currentArea;
    SCAN_PROGRESS_VIEW m_state;
    DWORD m_foundRows = 0;
    int m_currentRow = -1;     // the row of the category being scanned
    DWORD m_enteredRows = 0;   // 1 << row for every row entered
    bool m_bCancelled = false;
    double m_recycleBinKB = 0;
    double m_tempFilesKB = 0;
    CString m_junkText;
};
