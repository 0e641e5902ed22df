// Small helpers of the tool pages' window tests: reading and selecting the rows of a list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

inline std::string CellText(HWND list, int row, int column)
{
    char text[1024] = {};
    ListView_GetItemText(list, row, column, text, sizeof(text));
    return text;
}

// Every row as its cells' texts.
inline std::vector<std::vector<std::string>> ListRows(HWND list)
{
    std::vector<std::vector<std::string>> rows;
    const int columns = Header_GetItemCount(ListView_GetHeader(list));
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column)
            cells.push_back(CellText(list, row, column));
        rows.push_back(cells);
    }
    return rows;
}

// Selects one row as a click would (the list tells its parent).
inline void SelectRow(HWND list, int row)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(list, row);
}

// The first row whose cell in `column` reads `text`; -1 when none.
inline int FindRow(HWND list, int column, const std::string& text)
{
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        if (CellText(list, row, column) == text)
            return row;
    }
    return -1;
}
