#include "RetiredResults.h"

CRetiredResults::~CRetiredResults()
{
    ReleaseAll();
}

void CRetiredResults::Retire(std::unique_ptr<CReleasable> memory)
{
    if (memory)
        m_memory.push_back(std::move(memory));
}

void CRetiredResults::Retire(HWND tree)
{
    if (!tree || !::IsWindow(tree))
        return;
    ::ShowWindow(tree, SW_HIDE);
    ::SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    // No id: the parent takes its notifications for nobody's.
    ::SetWindowLongPtrA(tree, GWLP_ID, 0);
    // Folded rows are not visible rows: their deletion recomputes nothing.
    for (HTREEITEM row = TreeView_GetRoot(tree); row; row = TreeView_GetNextSibling(tree, row))
        TreeView_Expand(tree, row, TVE_COLLAPSE);
    m_trees.push_back(tree);
}

bool CRetiredResults::DeleteFirstRow(HWND tree)
{
    const HTREEITEM category = TreeView_GetRoot(tree);
    if (!category) {
        ::DestroyWindow(tree);
        m_marked = nullptr;
        return false;
    }
    if (category != m_marked) {
        // The category row is older than its entries, and every older row is gone: the control
        // finds it first. The entry deleted next is the oldest but it.
        TreeView_SetInsertMark(tree, category, FALSE);
        TreeView_Select(tree, category, TVGN_DROPHILITE);
        TreeView_Select(tree, category, TVGN_CARET);
        TreeView_Select(tree, category, TVGN_FIRSTVISIBLE);
        m_marked = category;
    }
    const HTREEITEM entry = TreeView_GetChild(tree, category);
    TreeView_DeleteItem(tree, entry ? entry : category);
    return true;
}

bool CRetiredResults::ReleaseSome(const CTimeBudget& budget)
{
    // Some of the work is done before the budget is looked at: a slice always gets on.
    while (!m_memory.empty()) {
        if (m_memory.back()->ReleaseSome(budget))
            m_memory.pop_back();
        if (budget.IsSpent())
            return IsEmpty();
    }
    while (!m_trees.empty()) {
        HWND tree = m_trees.front();
        // A few rows between looks at the clock: each is a few microseconds.
        for (int row = 0; row < 64; ++row) {
            if (!DeleteFirstRow(tree)) {
                m_trees.erase(m_trees.begin());
                break;
            }
        }
        if (budget.IsSpent())
            break;
    }
    return IsEmpty();
}

void CRetiredResults::ReleaseAll()
{
    m_memory.clear();
    for (HWND tree : m_trees) {
        if (::IsWindow(tree))
            ::DestroyWindow(tree);
    }
    m_trees.clear();
    m_marked = nullptr;
}
