// What a repair really removed. The engine reports the junk it removed, but not which found
// entries it deleted; so once the repair's job has ended, the program asks the registry and the
// file system whether each entry it asked for is gone. Only an entry that is surely gone counts
// as cleaned: one that still exists, or that cannot be looked at, does not.
//
// The entries are looked at key by key: one opening of a key serves all its values asked for
// and all its subkeys asked for, and a key that is missing or holds nothing answers for all of
// them at once. Both the gathering of the entries and the look can go in slices (Begin, Add for
// some entries at a time, then LookSome until it is done), so that the window that waits for
// them goes on answering.
#pragma once

#include <map>
#include <vector>

#include "Afx.h"
#include "ScanCategories.h"
#include "TimeBudget.h"

class CRepairOutcome
{
public:
    CRepairOutcome() = default;
    ~CRepairOutcome();
    CRepairOutcome(const CRepairOutcome&) = delete;
    CRepairOutcome& operator=(const CRepairOutcome&) = delete;

    // TRUE when the found item (a registry key, a registry value "key\xACname", or for the
    // program shortcuts a file) no longer exists.
    BOOL IsGone(const CString& item, DWORD category);

    // Forgets every entry and count: the entries to look at follow through Add.
    void Begin();
    // One more entry to look at, of the category of this name as the results tree names it
    // (entries of other names are not looked at).
    void Add(const CString& categoryName, const CString& entry);
    // Begin, then every entry of each category, by name (a category named counts, if only 0).
    void Begin(const std::map<CString, std::vector<CString>>& entriesByCategory);
    // Looks at entries until the budget is spent; true once every entry has been looked at.
    bool LookSome(const CTimeBudget& budget);
    // The entries of each category that are gone: complete once LookSome has returned true.
    const std::map<CString, int>& GetGone() const { return m_gone; }
    // Begin and LookSome in one go.
    std::map<CString, int> CountGone(const std::map<CString, std::vector<CString>>& entriesByCategory);

private:
    enum GROUP_KIND { GROUP_SUBKEYS, GROUP_VALUES, GROUP_FILES, GROUP_NOTHING };
    // Entries that one look at one key answers: the subkeys or the values of `path`, or files, or
    // texts that name nothing that could have been removed.
    struct GROUP
    {
        GROUP_KIND kind = GROUP_NOTHING;
        HKEY root = nullptr;
        CString path;
        // (category index in the results table, the entry's name below `path`, or its whole
        // text for files)
        std::vector<std::pair<int, CString>> entries;
    };
    typedef std::pair<int, std::pair<HKEY, CString>> GROUP_KEY;

    static bool Classify(const CString& item, DWORD category, GROUP_KIND* kind, HKEY* root, CString* path,
                         CString* name);
    // Opens the group's key; false when the key's state answers for every entry (`allGone`).
    bool OpenGroupKey(const GROUP& group, bool* allGone);
    bool IsEntryGone(const GROUP& group, const CString& name);
    void CloseKey();
    // LookSome without making the counts known.
    bool LookAtGroups(const CTimeBudget& budget);
    // The gone count of the category with this index, named as the tree names it.
    void NoteCategory(int index);

    std::vector<GROUP> m_groups;
    // Each group's place in m_groups, while entries are added.
    std::map<GROUP_KEY, size_t> m_groupOf;
    // The category of the last Add, by name and index: entries come category by category.
    CString m_lastCategory;
    int m_lastIndex = -1;
    size_t m_group = 0;
    size_t m_entry = 0;
    // The group's key, while its entries are looked at; `m_bAllGone` when it answered for all.
    HKEY m_key = nullptr;
    bool m_bKeyLooked = false;
    bool m_bAllGone = false;
    // Gone entries by category index, made known in m_gone (by name) when the look is done.
    int m_goneCounts[kRegistryCategoryCount] = {};
    std::map<CString, int> m_gone;
};
