// CScanProgress: what the scanning page shows of a running scan, kept apart from its windows.
// The engine's job thread records each report here (and files findings in the container); the
// page's window thread takes what changed on a timer and draws it. So the job thread never waits
// for the window thread, and a scan with many findings costs one lookup per finding.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "ItemLocation.h"
#include "ScanCategories.h"
#include "WhiteList.h"

struct SCAN_LIST_ENTRY
{
    CString category;
    CString item;
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
    void OnItem(CAbstractScanItemsInfo* items, const char* item, int category, int value, INT_PTR extra);

    // Window thread.
    void Take(SCAN_PROGRESS_VIEW& view);
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
    // Counts a finding on its category's rows, once per entry and row; true for an entry that
    // no category had found before.
    bool RecordEntry(const CString& item, int category);

    CRITICAL_SECTION m_lock;
    CWhiteList m_whiteList;
    CString m_currentArea;
    SCAN_PROGRESS_VIEW m_state;
    CItemLocation m_locations;
    // Each entry found so far (CItemLocation) -> the rows that found it (1 << row).
    std::unordered_map<std::string, DWORD> m_entryRows;
    DWORD m_foundRows = 0;
    double m_recycleBinKB = 0;
    double m_tempFilesKB = 0;
    CString m_junkText;
};
