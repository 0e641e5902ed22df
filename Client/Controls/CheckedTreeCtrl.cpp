#include "CheckedTreeCtrl.h"

#include <algorithm>
#include <vector>

#include "ResultCategories.h"

namespace {

const UINT kStateImagesBitmap = 210;
const UINT kRowImagesBitmap = 225;
const int kStateImageWidth = 13;
const int kRowImageWidth = 18;
const COLORREF kMaskColour = RGB(255, 255, 255);

UINT StateImageBits(int state)
{
    return INDEXTOSTATEIMAGEMASK(static_cast<UINT>(state));
}

} // namespace

BEGIN_MESSAGE_MAP(CCheckedTreeCtrl, CTreeCtrl)
    ON_WM_LBUTTONDOWN()
    ON_WM_KEYDOWN()
    ON_NOTIFY_REFLECT(NM_DBLCLK, OnDblClk)
END_MESSAGE_MAP()

void CCheckedTreeCtrl::InitImageLists()
{
    // Made once: a window given up by TakeWindow may still show them until it is gone.
    if (!m_stateImages.GetSafeHandle())
        m_stateImages.Create(kStateImagesBitmap, kStateImageWidth, 2, kMaskColour);
    if (!m_normalImages.GetSafeHandle())
        m_normalImages.Create(kRowImagesBitmap, kRowImageWidth, 5, kMaskColour);
    SetImageList(&m_normalImages, TVSIL_NORMAL);
    SetImageList(&m_stateImages, TVSIL_STATE);
}

std::string CCheckedTreeCtrl::IdentityOf(const CString& text, const CString& categoryName) const
{
    const int index = FindResultCategory(categoryName);
    return m_locations.IdentityOf(text, index < 0 ? 0 : static_cast<int>(kResultCategories[index].bit));
}

HTREEITEM CCheckedTreeCtrl::FindRow(const CString& text, const CString& categoryName) const
{
    const auto found = m_rowsByIdentity.find(IdentityOf(text, categoryName));
    return found == m_rowsByIdentity.end() ? nullptr : found->second;
}

void CCheckedTreeCtrl::NoteAlsoFoundBy(HTREEITEM row, const CString& categoryName)
{
    ENTRY_ROW& entry = m_entries[row];
    const CString& ownCategory = m_categories[entry.category].name;
    if (categoryName == ownCategory ||
        std::find(entry.alsoFoundBy.begin(), entry.alsoFoundBy.end(), categoryName) != entry.alsoFoundBy.end())
        return;
    entry.alsoFoundBy.push_back(categoryName);
    SetItemText(row, GetShownText(row));
}

CString CCheckedTreeCtrl::GetShownText(HTREEITEM row) const
{
    const auto found = m_entries.find(row);
    if (found == m_entries.end())
        return CString();
    const ENTRY_ROW& entry = found->second;
    if (entry.alsoFoundBy.empty())
        return entry.text;
    CString shown = entry.text + "    (also found by ";
    for (size_t i = 0; i < entry.alsoFoundBy.size(); ++i)
        shown += (i ? ", " : "") + entry.alsoFoundBy[i];
    return shown + ")";
}

HTREEITEM CCheckedTreeCtrl::InsertTickedRow(HTREEITEM parent, const CString& text, int image, HTREEITEM after)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    insert.item.pszText = const_cast<char*>(text.GetString());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = 0;
    insert.item.state = StateImageBits(TICK_ON);
    insert.item.stateMask = TVIS_STATEIMAGEMASK;
    const HTREEITEM row = InsertItem(&insert);
    return row;
}

HTREEITEM CCheckedTreeCtrl::AddCategory(const CString& text, const CString& description, int image)
{
    const CString name = CategoryNameOfRowText(text);
    const HTREEITEM row = InsertTickedRow(TVI_ROOT, text, image);
    if (!row)
        return nullptr;
    m_categoryCounts.insert(std::make_pair(name, 0));
    m_descriptions.insert(std::make_pair(name, description));
    m_categoryRows.insert(std::make_pair(name, row));
    m_categories[row].name = name;
    return row;
}

HTREEITEM CCheckedTreeCtrl::AddItem(const CString& categoryName, const CString& entryText, int image)
{
    // A category whose findings all stand under earlier categories has no row of its own.
    std::string identity = IdentityOf(entryText, categoryName);
    const auto twin = m_rowsByIdentity.find(identity);
    if (twin != m_rowsByIdentity.end()) {
        NoteAlsoFoundBy(twin->second, categoryName);
        return nullptr;
    }
    const auto found = m_categoryRows.find(categoryName);
    if (found == m_categoryRows.end())
        return nullptr;
    return InsertEntry(found->second, categoryName, entryText, std::move(identity), image);
}

HTREEITEM CCheckedTreeCtrl::AddEntry(int categoryIndex, const CString& entryText, const std::string& identity)
{
    if (categoryIndex < 0 || categoryIndex >= kRegistryCategoryCount)
        return nullptr;
    const RESULT_CATEGORY_INFO& info = kResultCategories[categoryIndex];
    const auto twin = m_rowsByIdentity.find(identity);
    if (twin != m_rowsByIdentity.end()) {
        NoteAlsoFoundBy(twin->second, info.rowName);
        return nullptr;
    }
    const HTREEITEM category = CategoryRowOf(categoryIndex);
    return category ? InsertEntry(category, info.rowName, entryText, identity, info.image) : nullptr;
}

HTREEITEM CCheckedTreeCtrl::CategoryRowOf(int categoryIndex)
{
    const RESULT_CATEGORY_INFO& info = kResultCategories[categoryIndex];
    const auto found = m_categoryRows.find(info.rowName);
    if (found != m_categoryRows.end())
        return found->second;
    // After the rows of the categories before it in the table, whichever came first.
    HTREEITEM after = TVI_FIRST;
    for (int index = 0; index < categoryIndex; ++index) {
        const auto earlier = m_categoryRows.find(kResultCategories[index].rowName);
        if (earlier != m_categoryRows.end())
            after = earlier->second;
    }
    const CString name(info.rowName);
    const HTREEITEM row = InsertTickedRow(TVI_ROOT, CategoryRowText(name, 0), info.image, after);
    if (!row)
        return nullptr;
    m_categoryCounts.insert(std::make_pair(name, 0));
    m_descriptions.insert(std::make_pair(name, LoadCategoryDescription(categoryIndex)));
    m_categoryRows.insert(std::make_pair(name, row));
    m_categories[row].name = name;
    return row;
}

HTREEITEM CCheckedTreeCtrl::InsertEntry(HTREEITEM category, const CString& categoryName, const CString& entryText,
                                        std::string identity, int image)
{
    const HTREEITEM row = InsertTickedRow(category, entryText, image);
    if (!row)
        return nullptr;
    CATEGORY_ROW& data = m_categories[category];
    data.entries.push_back(row);
    m_rowsByIdentity.insert(std::make_pair(identity, row));
    ENTRY_ROW& entry = m_entries[row];
    entry.text = entryText;
    entry.identity = std::move(identity);
    entry.category = category;
    ++data.ticked;
    ++m_categoryCounts[categoryName];
    ++m_nTotalEntries;
    return row;
}

void CCheckedTreeCtrl::RemoveAll()
{
    if (m_hWnd)
        DeleteAllItems();
    ForgetRows();
}

// The rows' record of a tree given up, freed in pieces.
class CCheckedTreeCtrl::CRowMemory : public CReleasable
{
public:
    explicit CRowMemory(CCheckedTreeCtrl& tree)
        : m_entries(std::move(tree.m_entries)), m_rowsByIdentity(std::move(tree.m_rowsByIdentity)),
          m_categories(std::move(tree.m_categories))
    {
    }
    bool ReleaseSome(const CTimeBudget& budget) override
    {
        return ReleaseSomeOf(m_entries, budget) && ReleaseSomeOf(m_rowsByIdentity, budget) &&
               ReleaseSomeOf(m_categories, budget);
    }

private:
    std::unordered_map<HTREEITEM, ENTRY_ROW> m_entries;
    std::unordered_map<std::string, HTREEITEM> m_rowsByIdentity;
    std::unordered_map<HTREEITEM, CATEGORY_ROW> m_categories;
};

HWND CCheckedTreeCtrl::TakeWindow(std::unique_ptr<CReleasable>* rows)
{
    rows->reset(new CRowMemory(*this));
    ForgetRows();
    return m_hWnd ? UnsubclassWindow() : nullptr;
}

void CCheckedTreeCtrl::ForgetRows()
{
    m_categoryCounts.clear();
    m_descriptions.clear();
    m_categoryRows.clear();
    m_categories.clear();
    m_entries.clear();
    m_rowsByIdentity.clear();
    m_nTotalEntries = 0;
    m_nExcludedCount = 0;
}

int CCheckedTreeCtrl::GetTickState(HTREEITEM row) const
{
    const auto entry = m_entries.find(row);
    if (entry != m_entries.end())
        return entry->second.state;
    const auto category = m_categories.find(row);
    return category == m_categories.end() ? 0 : category->second.state;
}

void CCheckedTreeCtrl::SetTickState(HTREEITEM row, int state)
{
    const auto entry = m_entries.find(row);
    if (entry != m_entries.end())
        entry->second.state = state;
    const auto category = m_categories.find(row);
    if (category != m_categories.end())
        category->second.state = state;
    SetItemState(row, StateImageBits(state), TVIS_STATEIMAGEMASK);
}

CString CCheckedTreeCtrl::GetEntryText(HTREEITEM entry) const
{
    const auto found = m_entries.find(entry);
    return found == m_entries.end() ? CString() : found->second.text;
}

CString CCheckedTreeCtrl::GetCategoryName(HTREEITEM row) const
{
    const auto found = m_categories.find(row);
    return found == m_categories.end() ? CString() : found->second.name;
}

void CCheckedTreeCtrl::AdjustSelectedCount(int delta)
{
    if (delta && m_pOwner)
        m_pOwner->OnSelectedCountChanged(delta);
}

void CCheckedTreeCtrl::SetCategoryStateFromEntries(HTREEITEM category)
{
    CATEGORY_ROW& data = m_categories[category];
    SetItemData(category, static_cast<DWORD_PTR>(data.ticked));
    if (data.entries.empty())
        return;
    const int entries = static_cast<int>(data.entries.size());
    const int state = data.ticked == 0 ? TICK_OFF : (data.ticked == entries ? TICK_ON : TICK_PARTLY);
    if (state != data.state)
        SetTickState(category, state);
}

void CCheckedTreeCtrl::ToggleTick(HTREEITEM row)
{
    const int newState = GetTickState(row) == TICK_ON ? TICK_OFF : TICK_ON;
    const auto entry = m_entries.find(row);
    if (entry != m_entries.end()) {
        if (entry->second.state == newState)
            return;
        SetTickState(row, newState);
        const HTREEITEM category = entry->second.category;
        m_categories[category].ticked += newState == TICK_ON ? 1 : -1;
        SetCategoryStateFromEntries(category);
        AdjustSelectedCount(newState == TICK_ON ? 1 : -1);
        return;
    }
    const auto found = m_categories.find(row);
    if (found == m_categories.end())
        return;
    // A category: every entry takes its new state; the count moves by the entries that changed.
    // The tree recomputes its scroll range for every visible row that changes, so the entries
    // change while their category is folded, and the view is put back as it was.
    CATEGORY_ROW& data = found->second;
    const bool expanded = (GetItemState(row, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    const HTREEITEM firstVisible = TreeView_GetFirstVisible(m_hWnd);
    const HTREEITEM selected = GetSelectedItem();
    if (expanded) {
        SendMessage(WM_SETREDRAW, FALSE);
        Expand(row, TVE_COLLAPSE);
    }
    int changed = 0;
    for (HTREEITEM child : data.entries) {
        if (m_entries[child].state != newState) {
            SetTickState(child, newState);
            ++changed;
        }
    }
    if (expanded) {
        Expand(row, TVE_EXPAND);
        if (selected && GetSelectedItem() != selected)
            SelectItem(selected);
        if (firstVisible)
            TreeView_Select(m_hWnd, firstVisible, TVGN_FIRSTVISIBLE);
        SendMessage(WM_SETREDRAW, TRUE);
        Invalidate();
    }
    data.ticked = newState == TICK_ON ? static_cast<int>(data.entries.size()) : 0;
    SetTickState(row, newState);
    SetItemData(row, static_cast<DWORD_PTR>(data.ticked));
    AdjustSelectedCount(newState == TICK_ON ? changed : -changed);
}

BOOL CCheckedTreeCtrl::RemoveEntry(HTREEITEM entry)
{
    const auto found = m_entries.find(entry);
    if (found == m_entries.end())
        return FALSE;
    const HTREEITEM category = found->second.category;
    const bool wasTicked = found->second.state == TICK_ON;
    CATEGORY_ROW& data = m_categories[category];
    m_rowsByIdentity.erase(found->second.identity);
    data.entries.erase(std::find(data.entries.begin(), data.entries.end(), entry));
    if (wasTicked)
        --data.ticked;
    const auto count = m_categoryCounts.find(data.name);
    if (count != m_categoryCounts.end()) {
        --count->second;
        --m_nTotalEntries;
    }
    m_entries.erase(found);
    DeleteItem(entry);
    // An ignored entry is no longer selected for the repair.
    if (wasTicked)
        AdjustSelectedCount(-1);
    if (data.entries.empty()) {
        m_categoryRows.erase(data.name);
        m_categories.erase(category);
        DeleteItem(category);
    } else {
        SetCategoryStateFromEntries(category);
    }
    return TRUE;
}

void CCheckedTreeCtrl::UpdateNodeLabels()
{
    for (const auto& category : m_categoryRows) {
        const CATEGORY_ROW& data = m_categories[category.second];
        SetItemText(category.second, CategoryRowLabel(data.name, static_cast<int>(data.entries.size())));
        // The ticked count as item data, once for all the entries that came.
        SetItemData(category.second, static_cast<DWORD_PTR>(data.ticked));
    }
}

int CCheckedTreeCtrl::ExcludeUncheckedEntries(CScanItemsInfo* items)
{
    m_nExcludedCount = 0;
    for (const auto& category : m_categories)
        m_nExcludedCount += static_cast<int>(category.second.entries.size()) - category.second.ticked;
    if (!items)
        return 0;
    int handedOver = 0;
    std::vector<const CScanItemsInfo::FOUND_ITEM*> found;
    std::vector<const CScanItemsInfo::FOUND_ITEM*> excluded;
    for (const RESULT_CATEGORY_INFO& category : kResultCategories) {
        // The container holds each item's identity: one lookup finds its row.
        found.clear();
        excluded.clear();
        items->GetFoundItems(static_cast<int>(category.bit), &found);
        for (const CScanItemsInfo::FOUND_ITEM* item : found) {
            const auto row = m_rowsByIdentity.find(item->identity);
            if (row == m_rowsByIdentity.end() || m_entries[row->second].state != TICK_ON)
                excluded.push_back(item);
        }
        const CString categoryName(category.rowName);
        for (const CScanItemsInfo::FOUND_ITEM* item : excluded)
            items->ExcludeFoundItem(*item, categoryName);
        handedOver += static_cast<int>(excluded.size());
    }
    return handedOver;
}

int CCheckedTreeCtrl::GetTickedEntries() const
{
    int ticked = 0;
    for (const auto& category : m_categories)
        ticked += category.second.ticked;
    return ticked;
}

int CCheckedTreeCtrl::GetCategoryCount(const CString& name) const
{
    const auto found = m_categoryCounts.find(name);
    return found == m_categoryCounts.end() ? 0 : found->second;
}

HTREEITEM CCheckedTreeCtrl::FindTickedRow(int category, const CString& itemText) const
{
    const int index = FindResultCategoryByBit(static_cast<DWORD>(category));
    const HTREEITEM row = FindRow(itemText, index < 0 ? CString() : CString(kResultCategories[index].rowName));
    if (!row)
        return nullptr;
    const auto entry = m_entries.find(row);
    return entry != m_entries.end() && entry->second.state == TICK_ON ? row : nullptr;
}

void CCheckedTreeCtrl::BeginTickedWalk(TICKED_WALK* walk) const
{
    walk->categories.clear();
    for (const auto& category : m_categoryRows)
        walk->categories.push_back(category.second);
    walk->category = 0;
    walk->entry = 0;
}

bool CCheckedTreeCtrl::WalkTicked(TICKED_WALK* walk, const std::unordered_set<HTREEITEM>& leftOut,
                                  const CTimeBudget& budget,
                                  const std::function<void(const CString&, const CString&)>& take) const
{
    size_t walked = 0;
    for (; walk->category < walk->categories.size(); ++walk->category, walk->entry = 0) {
        const auto category = m_categories.find(walk->categories[walk->category]);
        if (category == m_categories.end())
            continue;
        const std::vector<HTREEITEM>& rows = category->second.entries;
        while (walk->entry < rows.size()) {
            const HTREEITEM row = rows[walk->entry++];
            const auto entry = m_entries.find(row);
            if (entry != m_entries.end() && entry->second.state == TICK_ON && !leftOut.count(row))
                take(category->second.name, entry->second.text);
            // An entry costs microseconds: the clock is looked at now and then.
            if (++walked % 64 == 0 && budget.IsSpent())
                return walk->entry >= rows.size() && walk->category + 1 >= walk->categories.size();
        }
    }
    return true;
}

void CCheckedTreeCtrl::UpdateDescriptionFromSelection()
{
    const HTREEITEM row = GetSelectedItem();
    if (IsEntry(row)) {
        if (m_pOwner)
            m_pOwner->ShowSelectedEntry(GetShownText(row));
        return;
    }
    const auto found = m_descriptions.find(GetCategoryName(row));
    if (found != m_descriptions.end() && m_pOwner)
        m_pOwner->UpdateDescription(found->second);
}

void CCheckedTreeCtrl::OnLButtonDown(UINT, CPoint point)
{
    UINT flags = 0;
    const HTREEITEM row = HitTest(point, &flags);
    if (row && (flags & TVHT_ONITEMSTATEICON)) {
        // A click on a tick acts on its row: the row becomes the one selected, the one Ignore
        // Selected takes and whose category is described. The control's own handling of the
        // click is left out: it marks the row as pressed without selecting it, so that two rows
        // would look selected.
        ToggleTick(row);
        SetFocus();
        SelectItem(row);
    } else {
        Default();
    }
    UpdateDescriptionFromSelection();
}

void CCheckedTreeCtrl::OnKeyDown(UINT key, UINT, UINT)
{
    if (key == VK_SPACE) {
        const HTREEITEM row = GetSelectedItem();
        if (row && (IsCategory(row) || IsEntry(row)))
            ToggleTick(row);
    }
    Default();
    UpdateDescriptionFromSelection();
}

void CCheckedTreeCtrl::OnDblClk(NMHDR*, LRESULT* result)
{
    // A double click only expands or collapses; the page does not hear of it.
    *result = 0;
}
