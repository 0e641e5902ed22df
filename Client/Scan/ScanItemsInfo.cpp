#include "ScanItemsInfo.h"

#include "AfxFile.h"
#include "IgnoreListFile.h"
#include "ResultCategories.h"

namespace {

const char kScanLogFolder[] = "Scan Logs";

CString WithTrailingBackslash(const CString& folder)
{
    if (folder.IsEmpty() || folder.GetAt(folder.GetLength() - 1) == '\\')
        return folder;
    return folder + "\\";
}

void AppendEntry(CString* text, const CString& name, int number)
{
    *text += name;
    text->AppendFormat("^%d;\r\n", number);
}

// The category bit of a results-tree label; 0 for a label no category has.
int CategoryOfLabel(const CString& label)
{
    const int index = FindResultCategory(label);
    return index < 0 ? 0 : static_cast<int>(kResultCategories[index].bit);
}

// The registry category row of a category bit, or -1 (the junk categories have none).
int RegistryRowOf(int category)
{
    for (int row = 0; row < kRegistryCategoryCount; ++row)
        if (kScanCategories[row].bit == static_cast<DWORD>(category))
            return row;
    return -1;
}

} // namespace

CScanItemsInfo::CScanItemsInfo(const char* programFolder)
    : m_programFolder(WithTrailingBackslash(programFolder && *programFolder ? CString(programFolder)
                                                                            : RunningProgramFolder()))
{
    m_cursor = m_items.end();
    LoadIgnoreList();
}

CScanItemsInfo::~CScanItemsInfo() = default;

CString CScanItemsInfo::RunningProgramFolder()
{
    // Grows the buffer until the whole path fits: a cut path would name another folder.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return CString();
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const CString path(buffer);
    return path.Left(path.ReverseFind('\\') + 1);
}

void CScanItemsInfo::Clear()
{
    m_items.clear();
    m_categoryCounts.clear();
    m_findingRows.clear();
    m_cursor = m_items.end();
    m_spywareDetections.clear();
    m_spywareRecords.clear();
    ClearRepairExclusions();
}

namespace {

// The findings of a scan that are no longer wanted, freed in pieces.
template <class Items, class Rows>
class CFindingsMemory : public CReleasable
{
public:
    CFindingsMemory(Items&& items, Rows&& rows) : m_items(std::move(items)), m_rows(std::move(rows)) {}
    bool ReleaseSome(const CTimeBudget& budget) override
    {
        return ReleaseSomeOf(m_items, budget) && ReleaseSomeOf(m_rows, budget);
    }

private:
    Items m_items;
    Rows m_rows;
};

} // namespace

std::unique_ptr<CReleasable> CScanItemsInfo::TakeFindings()
{
    std::unique_ptr<CReleasable> memory(
        new CFindingsMemory<FoundItems, decltype(m_findingRows)>(std::move(m_items), std::move(m_findingRows)));
    Clear();
    return memory;
}

int CScanItemsInfo::AddItem(CString item, int category, int, INT_PTR)
{
    return AddFinding(item, category, nullptr, nullptr);
}

int CScanItemsInfo::AddFinding(const CString& item, int category, DWORD* rowsBefore, std::string* identityOut)
{
    m_foundCategories |= static_cast<DWORD>(category);
    LoadIgnoreList();
    std::string identity = m_locations.IdentityOf(item, category);
    if (rowsBefore)
        *rowsBefore = 0;
    if (identityOut)
        *identityOut = identity;
    // An ignored key keeps what it holds out of the results too.
    if (m_ignoredIdentities.Contains(identity) || m_ignoredIdentities.HasKeptAbove(identity))
        return 0;
    const int row = RegistryRowOf(category);
    if (row >= 0) {
        DWORD& rows = m_findingRows[identity];
        if (rowsBefore)
            *rowsBefore = rows;
        rows |= 1u << row;
    }
    // A multimap keeps equal keys in insertion order, so items of a category stay in the order
    // in which they were found.
    m_items.insert(FoundItems::value_type(category, FOUND_ITEM{ item, std::move(identity) }));
    ++m_categoryCounts[category];
    return 1;
}

void CScanItemsInfo::GetFoundItems(int category, std::vector<const FOUND_ITEM*>* items) const
{
    const auto range = m_items.equal_range(category);
    for (auto it = range.first; it != range.second; ++it)
        items->push_back(&it->second);
}

void CScanItemsInfo::CountFindingsOnce(int counts[kRegistryCategoryCount]) const
{
    for (int row = 0; row < kRegistryCategoryCount; ++row)
        counts[row] = 0;
    for (const auto& finding : m_findingRows) {
        int row = 0;
        while (row < kRegistryCategoryCount - 1 && !(finding.second & (1u << row)))
            ++row;
        ++counts[row];
    }
}

BOOL CScanItemsInfo::HasCategory(int category)
{
    return CountCategory(category) ? TRUE : FALSE;
}

int CScanItemsInfo::GetSpywareId(const char* name)
{
    if (!name)
        return 0;
    const auto found = m_spywareDetections.find(name);
    return found == m_spywareDetections.end() ? 0 : found->second;
}

int CScanItemsInfo::CountCategory(int category)
{
    const auto found = m_categoryCounts.find(category);
    return found == m_categoryCounts.end() ? 0 : found->second;
}

BOOL CScanItemsInfo::GetItems(std::vector<const char*>* items, int category)
{
    if (!items)
        return FALSE;
    const auto range = m_items.equal_range(category);
    if (range.first == range.second)
        return FALSE;
    for (auto it = range.first; it != range.second; ++it)
        items->push_back(it->second.text);
    return TRUE;
}

BOOL CScanItemsInfo::MoveFirst()
{
    m_cursor = m_items.begin();
    return m_cursor != m_items.end();
}

BOOL CScanItemsInfo::MoveNext()
{
    if (m_cursor == m_items.end())
        return FALSE;
    ++m_cursor;
    return m_cursor != m_items.end();
}

const char* CScanItemsInfo::GetCurrentItem()
{
    return m_cursor == m_items.end() ? nullptr : m_cursor->second.text.GetString();
}

int CScanItemsInfo::GetCurrentCategory()
{
    return m_cursor == m_items.end() ? 0 : m_cursor->first;
}

void CScanItemsInfo::SetIgnore(const char* key, int category, int value)
{
    if (category == SCAN_RCB) {
        m_skipRecycleBin = value == -1;
        return;
    }
    if (category == SCAN_TPF) {
        m_skipTempFiles = value == -1;
        return;
    }
    if (key)
        AddExclusion(key, value);
}

void CScanItemsInfo::AddExclusion(const CString& key, int value)
{
    if (!m_repairExclusions.insert(std::make_pair(key, value)).second)
        return;
    CString item, label;
    SplitIgnoreKey(key, &item, &label);
    m_excludedItems.insert(item);
    m_excludedIdentities.Add(m_locations.IdentityOf(item, CategoryOfLabel(label)));
}

void CScanItemsInfo::ExcludeFoundItem(const FOUND_ITEM& item, const CString& categoryName)
{
    // A category's name holds no '^': the key's item part is the text whole.
    if (!m_repairExclusions.insert(std::make_pair(ExclusionKey(item.text, categoryName), 0)).second)
        return;
    m_excludedItems.insert(item.text);
    m_excludedIdentities.Add(item.identity);
}

void CScanItemsInfo::ClearRepairExclusions()
{
    m_repairExclusions.clear();
    m_excludedItems.clear();
    m_excludedIdentities.Clear();
}

int CScanItemsInfo::LoadIgnoreList()
{
    if (m_ignoreListLoaded)
        return 0;
    // The list in memory is replaced only by a list that was read in full: a file that cannot be
    // read now must not make the ignored items look unignored. Each record goes straight into
    // the new list as it is read, so a large file is not held once more as records.
    std::map<CString, int> ignoreList;
    CKeptEntries ignoredIdentities;
    const BOOL read = CIgnoreListFile::ReadRecords(GetIgnoreListPath(), [&](IGNORE_LIST_RECORD& record) {
        if (record.Item.IsEmpty())
            return;
        ignoredIdentities.Add(m_locations.IdentityOf(record.Item, CategoryOfLabel(record.Category)));
        ignoreList.insert(std::make_pair(std::move(record.Item), record.Number));
    });
    if (!read)
        return 0;
    m_ignoreList.swap(ignoreList);
    m_ignoredIdentities.Swap(ignoredIdentities);
    m_ignoreListLoaded = TRUE;
    return 1;
}

int CScanItemsInfo::LoadIgnoreListForDisplay()
{
    std::map<CString, int> displayList;
    const BOOL read = CIgnoreListFile::ReadRecords(GetIgnoreListPath(), [&displayList](IGNORE_LIST_RECORD& record) {
        if (!record.Item.IsEmpty())
            displayList.insert(std::make_pair(record.Item + "^" + record.Category, record.Number));
    });
    if (!read)
        return 0;
    m_displayIgnoreList.swap(displayList);
    return 1;
}

int CScanItemsInfo::SaveIgnoreList(const std::map<CString, int>* entries)
{
    if (!entries)
        return 0;
    CString text = CIgnoreListFile::FormatMarker();
    for (const auto& entry : *entries)
        text += CIgnoreListFile::FormatRecord(entry.first, entry.second);
    if (!CIgnoreListFile::ReplaceText(GetIgnoreListPath(), text))
        return 0;
    m_ignoreListLoaded = FALSE;
    return 1;
}

int CScanItemsInfo::AppendIgnoredToFile()
{
    if (!m_saveExclusions)
        return 0;
    CString text = CIgnoreListFile::FormatMarker();
    for (const auto& exclusion : m_repairExclusions)
        text += CIgnoreListFile::FormatRecord(exclusion.first, exclusion.second);
    if (!CIgnoreListFile::AppendText(GetIgnoreListPath(), text))
        return 0;
    m_ignoreListLoaded = FALSE;
    return 1;
}

int CScanItemsInfo::GetIgnoreList(std::map<CString, int>* list)
{
    if (!list)
        return 0;
    if (list != &m_displayIgnoreList)
        *list = m_displayIgnoreList;
    return 1;
}

int CScanItemsInfo::AddToIgnoreList(CString item, CString categoryLabel, int, int)
{
    // The file is rewritten whole: from a list that could not be read it would lose records.
    if (!LoadIgnoreListForDisplay())
        return 0;
    std::map<CString, int> entries;
    GetIgnoreList(&entries);
    const CString key = item + "^" + categoryLabel;
    entries.insert(std::make_pair(key, 0));
    // An entry whose record could not be written is not ignored: the page keeps its row and says
    // so, and the next scan would list it again.
    if (!SaveIgnoreList(&entries))
        return 0;
    AddExclusion(key, 0);
    return 1;
}

void CScanItemsInfo::GetSpywareInfo(int id, _SPYWARE_INFORMATION* info)
{
    if (!info)
        return;
    for (const _SPYWARE_INFORMATION& record : m_spywareRecords) {
        if (record.ID == id) {
            *info = record;
            return;
        }
    }
}

BOOL CScanItemsInfo::IsSpywareIgnored(CString, int, const _SPYWARE_INFORMATION* record)
{
    LoadIgnoreList();
    if (!record || record->ID == 0)
        return FALSE;
    const auto found = m_ignoreList.find(record->Name);
    return found != m_ignoreList.end() && found->second == record->ID;
}

CString CScanItemsInfo::ReduceItemName(const CString& item)
{
    CString reduced = item;
    reduced.Replace(".txt", "");
    const int at = reduced.ReverseFind('@');
    if (at >= 0)
        reduced = reduced.Mid(at + 1);
    const int open = reduced.Find('[');
    const int close = reduced.Find(']');
    if (close > 0) {
        const CString bracketed = reduced.Mid(open < 0 ? 0 : open, close);
        reduced.Replace(bracketed, "");
    }
    return reduced;
}

bool CScanItemsInfo::IsExcludedBy(const CString& exclusionKey, int exclusionValue, const CString& item,
                                  const CString& reducedName, int spywareId)
{
    // The label after the last '^' holds no '^' itself; the item before it may.
    CString prefix;
    SplitIgnoreKey(exclusionKey, &prefix, nullptr);
    if (prefix == item || prefix == reducedName)
        return true;
    if (spywareId == 0 || exclusionValue != spywareId)
        return false;
    _SPYWARE_INFORMATION record;
    GetSpywareInfo(spywareId, &record);
    return record.Name == prefix;
}

BOOL CScanItemsInfo::IsCurrentItemIgnored()
{
    const char* current = GetCurrentItem();
    if (!current)
        return FALSE;
    LoadIgnoreList();
    if (IsCurrentItemExcluded(current))
        return ITEM_KEPT;
    // Deleting a key deletes what it holds: a key the user kept keeps its values and subkeys,
    // and a value or subkey the user kept keeps the keys above it.
    const std::string& identity = m_cursor->second.identity;
    for (const CKeptEntries* kept : { &m_excludedIdentities, &m_ignoredIdentities })
        if (kept->HasKeptAbove(identity) || kept->HasKeptBelow(identity))
            return ITEM_NEXT_TO_KEPT;
    return FALSE;
}

bool CScanItemsInfo::IsCurrentItemExcluded(const CString& item)
{
    // Excluded under any text that names the same entry: the user kept the entry, not a text.
    const std::string& identity = m_cursor->second.identity;
    if (m_excludedIdentities.Contains(identity) || m_ignoredIdentities.Contains(identity))
        return true;
    const CString reducedName = ReduceItemName(item);
    if (m_excludedItems.count(item) || m_excludedItems.count(reducedName))
        return true;
    // Only a spyware finding can be excluded by anything else: its record's name.
    const int spywareId = GetSpywareId(item);
    if (spywareId == 0)
        return false;
    for (const auto& exclusion : m_repairExclusions)
        if (IsExcludedBy(exclusion.first, exclusion.second, item, reducedName, spywareId))
            return true;
    return false;
}

int CScanItemsInfo::WriteScanLog()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return WriteScanLog(now);
}

CString CScanItemsInfo::GetScanLogFolder() const
{
    return m_programFolder + kScanLogFolder;
}

int CScanItemsInfo::WriteScanLog(const SYSTEMTIME& localTime)
{
    return WriteScanLogInto(GetScanLogFolder(), localTime);
}

int CScanItemsInfo::WriteScanLogInto(const CString& logFolder, const SYSTEMTIME& localTime, CString* writtenPath)
{
    CString folder = logFolder;
    folder.TrimRight('\\');
    ::CreateDirectoryA(folder, nullptr);
    CString path;
    path.Format("%s\\%d%d%d%d%d%d.txt", folder.GetString(), localTime.wDay, localTime.wMonth, localTime.wYear,
                localTime.wHour, localTime.wMinute, localTime.wSecond);

    CString text;
    text.Format("Scan Log Created At :%d:%d:%d\r\n", localTime.wHour, localTime.wMinute, localTime.wSecond);
    text += "========================Items Detected During Scan=======================\r\n";
    for (const auto& found : m_items)
        AppendEntry(&text, found.second.text, found.first);
    text += "======================= Spyware Items Detected===========================\r\n";
    for (const auto& detection : m_spywareDetections)
        AppendEntry(&text, detection.first, detection.second);
    text += "======================= Items Ignored During Repair=======================\r\n";
    for (const auto& exclusion : m_repairExclusions)
        AppendEntry(&text, exclusion.first, exclusion.second);

    // Text mode, as the log has always been written: each CR LF stands as CR CR LF on disk.
    CStdioFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyWrite))
        return 0;
    if (file.SeekToEnd() == static_cast<ULONGLONG>(-1))
        return 0;
    if (!file.WriteString(text) || !file.FlushWriteBuffer())
        return 0;
    if (writtenPath)
        *writtenPath = path;
    return 1;
}
