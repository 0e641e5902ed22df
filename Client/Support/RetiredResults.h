// CRetiredResults: what earlier results leave behind, released a slice at a time: tree windows
// whose rows are no longer wanted (emptied, then destroyed) and the memory of their findings.
// Emptying a tree of tens of thousands of rows at once holds the window thread for seconds where
// the tree control looks each row up by a search through all its rows (so does Wine's): the
// results page gives its old tree away here and carries on with a new one.
//
// Each row is deleted while the tree's insert mark, drop target and selection rest on the row
// before it in creation order, so that the control's own look-ups end at once and a deletion
// costs what the whole tree's deletion costs per row.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "Releasable.h"
#include "TimeBudget.h"

class CRetiredResults
{
public:
    CRetiredResults() = default;
    // What is still held goes with its windows.
    ~CRetiredResults();
    CRetiredResults(const CRetiredResults&) = delete;
    CRetiredResults& operator=(const CRetiredResults&) = delete;

    // Takes the tree window: hidden, silent towards its parent's handlers, never drawn again.
    void Retire(HWND tree);
    // Takes memory to free.
    void Retire(std::unique_ptr<CReleasable> memory);
    bool IsEmpty() const { return m_trees.empty() && m_memory.empty(); }
    // Releases until the budget is spent; true when nothing is left.
    bool ReleaseSome(const CTimeBudget& budget);
    // Everything at once (the program's exit).
    void ReleaseAll();

private:
    // Deletes one row of the tree (or the tree itself when it has none left); false when the tree
    // is gone.
    bool DeleteFirstRow(HWND tree);

    std::vector<HWND> m_trees;
    std::vector<std::unique_ptr<CReleasable>> m_memory;
    // The category row of the first tree that the control's marks rest on.
    HTREEITEM m_marked = nullptr;
};
