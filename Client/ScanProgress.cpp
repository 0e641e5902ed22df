#include "ScanProgress.h"

#include <cstring>
#include <utility>

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
    m_entryRows.clear();
    m_foundRows = 0;
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
    if (_stricmp(areaText, "Scanning") != 0 && _stricmp(areaText, m_currentArea) != 0) {
        m_currentArea = areaText;
        const int row = FindCategoryRowByCode(areaText);
        if (row >= 0)
            m_state.enteredRows.push_back(row);
        m_state.overallPosition = StepBar(m_state.overallPosition, kOverallRange);
    }
    if (text && *text)
        ++m_state.scannedItems;
}

void CScanProgress::OnProgress(int phase)
{
    CLock lock(&m_lock);
    if (phase == PROGRESS_BEGIN) {
        m_state.overallPosition = 0;
        m_state.currentPosition = 0;
    } else if (phase == PROGRESS_STEP) {
        m_state.currentPosition = StepBar(m_state.currentPosition, kCurrentRange);
    } else if (phase == PROGRESS_END) {
        m_state.overallPosition = kCurrentRange;
        m_state.currentPosition = kCurrentRange;
    }
}

void CScanProgress::OnItem(CAbstractScanItemsInfo* items, const char* itemText, int category, int value,
                           INT_PTR extra)
{
    if (!items || !itemText)
        return;
    const CString item = itemText;
    if (m_whiteList.IsListed(item))
        return;
    const int added = items->AddItem(item, category, value, extra);

    if (category == SCAN_RCB || category == SCAN_TPF) {
        if (strcmp(itemText, ITEM_SIZE_TOTAL) == 0) {
            CLock lock(&m_lock);
            const double kilobytes = static_cast<double>(static_cast<DWORD>(value));
            (category == SCAN_RCB ? m_recycleBinKB : m_tempFilesKB) = kilobytes;
            return;
        }
        if (value == -1) {
            CLock lock(&m_lock);
            m_state.junkLabel = item;
            m_junkText = item;
        }
        if (category == SCAN_RCB || value != -1) {
            RecordEntry(item, category);
            CLock lock(&m_lock);
            ++m_state.junkCount;
        }
        if (added == 1) {
            CLock lock(&m_lock);
            m_foundRows |= category == SCAN_RCB ? 1u << kRecycleBinRow : 1u << kTempFilesRow;
        }
        return;
    }
    if (added != 1)
        return;
    const bool newEntry = RecordEntry(item, category);
    CLock lock(&m_lock);
    if (newEntry)
        ++m_state.errorCount;
    for (int row = 0; row < kCategoryCount; ++row) {
        if (RowHasBit(row, static_cast<DWORD>(category)))
            m_foundRows |= 1u << row;
    }
}

bool CScanProgress::RecordEntry(const CString& item, int category)
{
    // One entry found under several texts, or by several categories, is one error: each of its
    // categories' rows counts it once and turns to a cross, the list of shown items shows it once.
    const std::string identity = m_locations.IdentityOf(item, category);
    CLock lock(&m_lock);
    DWORD& rowsThatFoundIt = m_entryRows[identity];
    const bool newEntry = rowsThatFoundIt == 0;
    for (int row = 0; row < kCategoryCount; ++row) {
        if (!RowHasBit(row, static_cast<DWORD>(category)) || (rowsThatFoundIt & (1u << row)))
            continue;
        rowsThatFoundIt |= 1u << row;
        m_state.crossedRows |= 1u << row;
        if (row < kRegistryCategoryCount)
            ++m_state.rowCounts[row];
        // Only the first eleven categories enter the list of shown items.
        if (newEntry && row < 11)
            m_state.newEntries.push_back({ kScanCategories[row].name, item });
    }
    return newEntry;
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
    view.scannedItems = m_state.scannedItems;
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
