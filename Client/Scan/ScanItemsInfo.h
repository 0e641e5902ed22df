// CScanItemsInfo: the program's one container of scan findings. It holds the items of the
// current scan by category with one shared cursor, the entries the user excluded from the next
// repair, the ignore list kept in "IgnoreList.dat" beside the program, and writes the scan log
// into "Scan Logs" there. The engine sees it as a CAbstractScanItemsInfo: it adds findings
// during a scan and walks the cursor during a repair, always on its job thread while the program
// leaves the container alone, so the container has no lock.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "ItemLocation.h"
#include "KeptEntries.h"
#include "Releasable.h"
#include "ScanCategories.h"
#include "VexaEngine.h"

class CScanItemsInfo : public CAbstractScanItemsInfo
{
public:
    // The files live in programFolder; by default in the folder of the running program.
    explicit CScanItemsInfo(const char* programFolder = nullptr);
    ~CScanItemsInfo() override;
    CScanItemsInfo(const CScanItemsInfo&) = delete;
    CScanItemsInfo& operator=(const CScanItemsInfo&) = delete;

    void Clear() override;
    // Clear, handing back the findings' memory for the caller to free when it suits it.
    std::unique_ptr<CReleasable> TakeFindings();
    int AddItem(CString item, int category, int value, INT_PTR extra) override;
    BOOL HasCategory(int category) override;
    int GetSpywareId(const char* name) override;
    int CountCategory(int category) override;
    DWORD GetFoundCategories() override { return m_foundCategories; }
    BOOL GetItems(std::vector<const char*>* items, int category) override;
    BOOL MoveFirst() override;
    BOOL MoveNext() override;
    const char* GetCurrentItem() override;
    int GetCurrentCategory() override;
    void SetIgnore(const char* key, int category, int value) override;
    void SetSaveIgnored(int on) override { m_saveExclusions = on ? TRUE : FALSE; }
    int LoadIgnoreList() override;
    int AppendIgnoredToFile() override;
    int Reserved() override { return 1; }
    void GetSpywareInfo(int id, _SPYWARE_INFORMATION* info) override;
    // ITEM_KEPT for an item the user excluded or ignored (under any text); ITEM_NEXT_TO_KEPT for
    // one that lies inside a key the user kept, or is a key holding an entry the user kept;
    // FALSE for an item the repair may delete.
    BOOL IsCurrentItemIgnored() override;
    int GetIgnoreList(std::map<CString, int>* list) override;
    int LoadIgnoreListForDisplay() override;
    int SaveIgnoreList(const std::map<CString, int>* entries) override;
    int WriteScanLog() override;
    BOOL IsSpywareIgnored(CString item, int category, const _SPYWARE_INFORMATION* record) override;
    int AddToIgnoreList(CString item, CString categoryLabel, int unused1, int unused2) override;
    int GetIgnoreRecycleBin() override { return m_skipRecycleBin; }
    int GetIgnoreTempFiles() override { return m_skipTempFiles; }

    // The scan log as written at the given local time; WriteScanLog uses the current one.
    int WriteScanLog(const SYSTEMTIME& localTime);
    // The scan log into the folder `logFolder` (created when missing); the file's path goes to
    // `path`. 0 when the folder or the file cannot be written.
    int WriteScanLogInto(const CString& logFolder, const SYSTEMTIME& localTime, CString* path = nullptr);
    // Forgets every repair exclusion: the results page hands them over afresh before each repair.
    void ClearRepairExclusions();
    // The folder of the scan logs beside the program.
    CString GetScanLogFolder() const;

    // An item as the container holds it: its text and the entry it names (CItemLocation).
    struct FOUND_ITEM
    {
        CString text;
        std::string identity;
    };
    // AddItem, telling more: `rowsBefore` gets the registry rows (1 << row, ScanCategories.h) that
    // had found the same entry before this finding (0 for an entry new to this scan), `identity`
    // the entry's identity. Each is computed once, however many pages want it.
    // Every finding comes through here (AddItem too).
    virtual int AddFinding(const CString& item, int category, DWORD* rowsBefore, std::string* identity);
    // The items of a category in container order; valid until the container changes.
    void GetFoundItems(int category, std::vector<const FOUND_ITEM*>* items) const;
    // Excludes a found item from the next repair under the results tree's name of its category:
    // SetIgnore(ExclusionKey(text, name), 0, 0), with the identity the item already holds.
    void ExcludeFoundItem(const FOUND_ITEM& item, const CString& categoryName);

    // One registry entry (or file) found by several categories under several texts counts once.
    // The number of distinct entries the registry categories found.
    int CountFindings() const { return static_cast<int>(m_findingRows.size()); }
    // counts[row] := the distinct entries of each registry category's row (ScanCategories.h) that
    // no row before it found too; the counts add up to CountFindings().
    void CountFindingsOnce(int counts[kRegistryCategoryCount]) const;

    // The folder of the container's files, with its trailing backslash.
    const CString& GetProgramFolder() const { return m_programFolder; }
    CString GetIgnoreListPath() const { return m_programFolder + "IgnoreList.dat"; }
private:
    // The name that an item is reduced to when it is compared with exclusions by name: without
    // ".txt", after its last '@', and without its bracketed part.
    static CString ReduceItemName(const CString& item);
    typedef std::multimap<int, FOUND_ITEM> FoundItems;

    static CString RunningProgramFolder();
    bool IsExcludedBy(const CString& exclusionKey, int exclusionValue, const CString& item,
                      const CString& reducedName, int spywareId);
    void AddExclusion(const CString& key, int value);
    // The current item was excluded or ignored itself, under any of its texts.
    bool IsCurrentItemExcluded(const CString& item);

    BOOL m_ignoreListLoaded = FALSE;
    BOOL m_skipRecycleBin = FALSE;
    BOOL m_skipTempFiles = FALSE;
    FoundItems::iterator m_cursor;
    FoundItems m_items;
    // Items per category, kept beside the items: the scanning page asks after every finding.
    std::map<int, int> m_categoryCounts;
    std::map<CString, int> m_spywareDetections;
    std::map<CString, int> m_repairExclusions;
    // The item part of every exclusion key: a repair asks for each of its items, so the lookup
    // must not walk all exclusions.
    std::set<CString> m_excludedItems;
    // The entries those items name: an entry excluded under one text is excluded under all, and
    // so is what lies inside it.
    CKeptEntries m_excludedIdentities;
    // Item text -> number: the ignore list's records by their first field.
    std::map<CString, int> m_ignoreList;
    // The entries the ignore list names: what AddItem refuses, whatever text names them, with
    // everything inside them.
    CKeptEntries m_ignoredIdentities;
    // Each distinct entry of the registry categories -> the rows that found it (1 << row).
    std::unordered_map<std::string, DWORD> m_findingRows;
    CItemLocation m_locations;
    // Item text + "^" + category label -> number: what the ignore-list page shows and edits.
    std::map<CString, int> m_displayIgnoreList;
    BOOL m_saveExclusions = FALSE;
    std::vector<_SPYWARE_INFORMATION> m_spywareRecords;
    DWORD m_foundCategories = 0;
    CString m_programFolder;
};
