#include "ScanProgress.h"

#include <cstring>
#include <utility>

#include "ScanItemsInfo.h"

class CScanProgress::CLock
{
public:
    explicit CLock(CRITICAL_SECTION* lock) : m_lock(lock) { ::EnterCriticalSection(m_lock); }
    ~CLock() { ::LeaveCriticalSection(m_lock); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CRITICAL_SECTION* m_lock;
};

namespace {

// A progress bar's step: past its maximum it starts again from the beginning.
int StepBar(int position, int range)
{
    return position + 1 > range ? 0 : position + 1;
}

} // namespace

CScanProgress::CScanProgress()
{
    ::InitializeCriticalSection(&m_lock);
    m_junkText = "No";
}

CScanProgress::~CScanProgress()
{
    ::DeleteCriticalSection(&m_lock);
}

void CScanProgress::Begin(const CString& whiteListPath)
{
    CWhiteList whiteList;
    whiteList.Load(whiteListPath);
    CLock lock(&m_lock);
    m_whiteList = whiteList;
    m_currentArea.Empty();
    m_state = SCAN_PROGRESS_VIEW();
    m_foundRows = 0;
    m_currentRow = -1;
    m_enteredRows = 0;
    m_bCancelled = false;
    m_recycleBinKB = 0;
    m_tempFilesKB = 0;
}

void CScanProgress::OnActivity(const char* text, const char* area)
{
    // Called for every item the engine examines: area codes are ASCII, compared without the
    // system's locale.
    const char* areaText = area ? area : "";
    CLock lock(&m_lock);
    m_state.activity = text ? text : "";
    // A stopped job still names the categories it passes on its way out: it scans none of them.
    if (!m_bCancelled && _stricmp(areaText, "Scanning") != 0 && _stricmp(areaText, m_currentArea) != 0) {
        m_currentArea = areaText;
        m_currentRow = FindCategoryRowByCode(areaText);
        if (m_currentRow >= 0) {
            m_state.enteredRows.push_back(m_currentRow);
            m_enteredRows |= 1u << m_currentRow;
        }
        m_state.overallPosition = StepBar(m_state.overallPosition, kOverallRange);
    }
    if (text && *text)
        ++m_state.scannedItems;
}

void CScanProgress::OnProgress(int phase)
{
    CLock lock(&m_lock);
    // A cancelled scan's bars show how far it came.
    if (m_bCancelled)
        return;
    if (phase == PROGRESS_BEGIN) {
        m_state.overallPosition = 0;
        m_state.currentPosition = 0;
    } else if (phase == PROGRESS_STEP) {
        m_state.currentPosition = StepBar(m_state.currentPosition, kCurrentRange);
    } else if (phase == PROGRESS_END) {
        m_state.overallPosition = kOverallRange;
        m_state.currentPosition = kCurrentRange;
    }
}

void CScanProgress::OnItem(CScanItemsInfo* items, const char* itemText, int category, int value, INT_PTR extra)
{
    if (!items || !itemText)
        return;
    CString item = itemText;
    if (m_whiteList.IsListed(item))
        return;
    if (category == SCAN_RCB || category == SCAN_TPF) {
        OnJunkItem(items, item, category, value, extra);
        return;
    }
    // One entry found under several texts, or by several categories, is one error: each of its
    // categories' rows counts it once and turns to a cross, the list of shown items shows it once.
    DWORD rowsBefore = 0;
    std::string identity;
    if (items->AddFinding(item, category, &rowsBefore, &identity) != 1)
        return;
    int row = 0;
    while (row < kRegistryCategoryCount && kScanCategories[row].bit != static_cast<DWORD>(category))
        ++row;
    const DWORD rowBit = 1u << row;
    if (row >= kRegistryCategoryCount)
        return;
    CLock lock(&m_lock);
    m_foundRows |= rowBit;
    if (rowsBefore & rowBit)
        return;
    const bool newEntry = rowsBefore == 0;
    if (newEntry)
        ++m_state.errorCount;
    m_state.crossedRows |= rowBit;
    ++m_state.rowCounts[row];
    // Only the first eleven categories enter the list of shown items.
    if (newEntry && row < 11)
        m_state.newEntries.push_back({ kScanCategories[row].name, item });
    m_state.newFindings.push_back({ row, std::move(item), std::move(identity) });
}

void CScanProgress::OnJunkItem(CScanItemsInfo* items, const CString& item, int category, int value, INT_PTR extra)
{
    const int added = items->AddItem(item, category, value, extra);
    const int row = category == SCAN_RCB ? kRecycleBinRow : kTempFilesRow;
    CLock lock(&m_lock);
    if (item == ITEM_SIZE_TOTAL) {
        (category == SCAN_RCB ? m_recycleBinKB : m_tempFilesKB) = static_cast<double>(static_cast<DWORD>(value));
        return;
    }
    if (category == SCAN_RCB || value != -1) {
        m_state.crossedRows |= 1u << row;
        ++m_state.junkCount;
    }
    // The size of what was found: the Temp Files scan tells its size also when it found
    // nothing, and "0KB Junk Files Found!" beside two ticks would say what did not happen.
    if (value == -1 && m_state.junkCount > 0) {
        m_state.junkLabel = item;
        m_junkText = item;
    }
    if (added == 1)
        m_foundRows |= 1u << row;
}

void CScanProgress::Take(SCAN_PROGRESS_VIEW& view)
{
    CLock lock(&m_lock);
    view.activity = m_state.activity;
    view.overallPosition = m_state.overallPosition;
    view.currentPosition = m_state.currentPosition;
    view.enteredRows = std::move(m_state.enteredRows);
    m_state.enteredRows.clear();
    view.crossedRows = m_state.crossedRows;
    for (int row = 0; row < kRegistryCategoryCount; ++row)
        view.rowCounts[row] = m_state.rowCounts[row];
    view.errorCount = m_state.errorCount;
    view.junkCount = m_state.junkCount;
    view.junkLabel = m_state.junkLabel;
    view.newEntries = std::move(m_state.newEntries);
    m_state.newEntries.clear();
    view.newFindings = std::move(m_state.newFindings);
    m_state.newFindings.clear();
    view.scannedItems = m_state.scannedItems;
}

DWORD CScanProgress::Cancel()
{
    CLock lock(&m_lock);
    m_bCancelled = true;
    // The row being scanned is cut short.
    return m_currentRow >= 0 ? m_enteredRows & ~(1u << m_currentRow) : m_enteredRows;
}

DWORD CScanProgress::GetFoundRows()
{
    CLock lock(&m_lock);
    return m_foundRows;
}

double CScanProgress::GetRecycleBinKB()
{
    CLock lock(&m_lock);
    return m_recycleBinKB;
}

double CScanProgress::GetTempFilesKB()
{
    CLock lock(&m_lock);
    return m_tempFilesKB;
}

int CScanProgress::GetErrorCount()
{
    CLock lock(&m_lock);
    return m_state.errorCount;
}

int CScanProgress::GetJunkCount()
{
    CLock lock(&m_lock);
    return m_state.junkCount;
}

CString CScanProgress::GetJunkText()
{
    CLock lock(&m_lock);
    return m_junkText;
}

int CScanProgress::GetScannedItems()
{
    CLock lock(&m_lock);
    return m_state.scannedItems;
}

void CScanProgress::ResetCounts()
{
    CLock lock(&m_lock);
    m_state.errorCount = 0;
    m_state.junkCount = 0;
    m_junkText = "No";
}
