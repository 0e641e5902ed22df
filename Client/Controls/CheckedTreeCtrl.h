// CCheckedTreeCtrl: the results page's tree. One row per scan category, one row per found entry
// under it, a tick in front of every row. Ticking a category ticks all its entries; ticking
// entries makes their category ticked, unticked or partly ticked. The tree keeps every entry's
// text whole (the control itself is asked for display only), counts entries per category, tells
// its owner how many entries are ticked and which description belongs to the selected row, and
// before a repair hands the found-item container every item that is not ticked.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Afx.h"
#include "ItemLocation.h"
#include "Releasable.h"
#include "ScanItemsInfo.h"
#include "TimeBudget.h"
#include "VexaEngine.h"

// The window that shows what the tree counts: the results page.
class CCheckedTreeOwner
{
public:
    virtual ~CCheckedTreeOwner() = default;
    // The number of ticked entries changed by delta.
    virtual void OnSelectedCountChanged(int delta) = 0;
    virtual void UpdateDescription(const CString& description) = 0;
    // An entry row is selected: its whole text, as the row shows it (the tree may cut it at its
    // edge).
    virtual void ShowSelectedEntry(const CString& shownText) = 0;
};

class CCheckedTreeCtrl : public CTreeCtrl
{
public:
    // Tick states: the tree's state images (bitmap 210).
    enum { TICK_ON = 1, TICK_OFF = 2, TICK_PARTLY = 3 };

    CCheckedTreeCtrl() = default;
    ~CCheckedTreeCtrl() override = default;

    void SetOwner(CCheckedTreeOwner* owner) { m_pOwner = owner; }
    void InitImageLists();

    // A ticked category row, after the rows already there. Its name is the text before '['.
    HTREEITEM AddCategory(const CString& text, const CString& description, int image);
    // A ticked entry under the category row of that name; null when there is no such row or a
    // row already stands for the entry the text names (CItemLocation: in any letter case, under
    // any root's name, in this or another category). One entry is one row, ticked or not as a
    // whole: the row says which other categories found it too.
    HTREEITEM AddItem(const CString& categoryName, const CString& entryText, int image);
    // The same for an entry of the category with this index of the results table
    // (ResultCategories.h) whose identity is known: its category row is made when its first entry
    // comes, among the category rows in table order, and counted by UpdateNodeLabels.
    HTREEITEM AddEntry(int categoryIndex, const CString& entryText, const std::string& identity);
    // Deletes every row and forgets every count.
    void RemoveAll();
    // Forgets every row and gives up the window that holds them (null when there is none), for
    // the caller to empty and destroy, and the memory of the rows, for the caller to free: the
    // tree can then be created again.
    HWND TakeWindow(std::unique_ptr<CReleasable>* rows);

    // What a click on the row's tick does: an entry toggles, a category sets all its entries.
    void ToggleTick(HTREEITEM row);
    int GetTickState(HTREEITEM row) const;
    bool IsEntry(HTREEITEM row) const { return m_entries.count(row) != 0; }
    bool IsCategory(HTREEITEM row) const { return m_categories.count(row) != 0; }
    // The entry's text in full; empty for a row that is not an entry.
    CString GetEntryText(HTREEITEM entry) const;
    CString GetCategoryName(HTREEITEM row) const;
    // Takes an entry out of the tree, and its category row with it when it was the last one.
    // FALSE for a row that is not an entry.
    BOOL RemoveEntry(HTREEITEM entry);
    // Every category row's text becomes its name and "[n Error(s)]".
    void UpdateNodeLabels();

    // Hands the container, as repair exclusions, every item of the fourteen registry categories
    // that no ticked row stands for, under whatever text or category it was found; counts the
    // unticked entries as excluded. Returns the number of exclusions handed over.
    int ExcludeUncheckedEntries(CScanItemsInfo* items);

    int GetTotalEntries() const { return m_nTotalEntries; }
    int GetExcludedCount() const { return m_nExcludedCount; }
    int GetTickedEntries() const;
    // Entries of a category, by its name (0 when it has no row).
    int GetCategoryCount(const CString& name) const;
    // The ticked row that an item of a category (its bit) stands for, under any of its texts; null
    // when none does.
    HTREEITEM FindTickedRow(int category, const CString& itemText) const;
    // A walk through the ticked entries in slices: the tree must not change while it goes.
    struct TICKED_WALK
    {
        std::vector<HTREEITEM> categories;   // the category rows, as the walk began
        size_t category = 0;
        size_t entry = 0;
    };
    void BeginTickedWalk(TICKED_WALK* walk) const;
    // Hands `take` the category name and text of each ticked entry from where the walk stands,
    // but for the rows in `leftOut`, until the budget is spent; true once every row was passed.
    bool WalkTicked(TICKED_WALK* walk, const std::unordered_set<HTREEITEM>& leftOut, const CTimeBudget& budget,
                    const std::function<void(const CString& categoryName, const CString& text)>& take) const;
    const std::map<CString, CString>& GetDescriptions() const { return m_descriptions; }
    // Tells the owner of the selected row: an entry's whole text, a category's description.
    void UpdateDescriptionFromSelection();
    // An entry's text as its row shows it, with the other categories that found it; empty for a
    // row that is not an entry.
    CString GetShownText(HTREEITEM entry) const;

protected:
    void OnLButtonDown(UINT flags, CPoint point);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnDblClk(NMHDR* header, LRESULT* result);
    DECLARE_MESSAGE_MAP()

private:
    // A new row at the end of `parent`, ticked.
    HTREEITEM InsertTickedRow(HTREEITEM parent, const CString& text, int image, HTREEITEM after = TVI_LAST);
    // The tree's own record of its rows: asking the control for a row costs a search through all
    // its rows on some systems, so ticks and texts are kept here and only drawn by the control.
    struct CATEGORY_ROW
    {
        CString name;
        int state = TICK_ON;
        int ticked = 0;
        // Entry rows in the order they were added.
        std::vector<HTREEITEM> entries;
    };
    struct ENTRY_ROW
    {
        CString text;
        std::string identity;
        HTREEITEM category = nullptr;
        int state = TICK_ON;
        // The other categories that found the same entry, as the row shows them.
        std::vector<CString> alsoFoundBy;
    };

    std::string IdentityOf(const CString& text, const CString& categoryName) const;
    void ForgetRows();
    class CRowMemory;
    // The row of a category of the results table, made when it has none.
    HTREEITEM CategoryRowOf(int categoryIndex);
    HTREEITEM InsertEntry(HTREEITEM category, const CString& categoryName, const CString& entryText,
                          std::string identity, int image);
    // The row that stands for an item of a category, or null.
    HTREEITEM FindRow(const CString& text, const CString& categoryName) const;
    void NoteAlsoFoundBy(HTREEITEM row, const CString& categoryName);
    void SetTickState(HTREEITEM row, int state);
    void SetCategoryStateFromEntries(HTREEITEM category);
    void AdjustSelectedCount(int delta);

    CCheckedTreeOwner* m_pOwner = nullptr;
    CImageList m_normalImages;
    CImageList m_stateImages;
    std::map<CString, int> m_categoryCounts;
    std::map<CString, CString> m_descriptions;
    std::map<CString, HTREEITEM> m_categoryRows;
    std::unordered_map<HTREEITEM, CATEGORY_ROW> m_categories;
    std::unordered_map<HTREEITEM, ENTRY_ROW> m_entries;
    // Each entry's identity -> its one row.
    std::unordered_map<std::string, HTREEITEM> m_rowsByIdentity;
    CItemLocation m_locations;
    int m_nTotalEntries = 0;
    int m_nExcludedCount = 0;
};
