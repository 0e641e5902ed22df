// CItemListCtrl: the report list of the program's list pages. It takes its images from one bitmap
// of check images, lays out four columns, tells a chosen window when an item's state image is
// clicked, and keeps the sort column and direction of the header clicks for its owner. With the
// keyboard focus it always shows it: on its first row (focused, not selected) when no row has
// it, or as a frame inside the list when it has no row.
#pragma once

#include "Afx.h"

// Sent to the notify window when a state image is clicked: wParam = the item's data.
constexpr UINT WM_LIST_CHECK = WM_USER + 555;

class CItemListCtrl : public CListCtrl
{
public:
    CItemListCtrl() = default;
    ~CItemListCtrl() override = default;

    void InitImageLists();
    void InsertColumns(CString title0, CString title1, CString title2, CString title3);

    int GetSortColumn() const { return m_nSortColumn; }
    BOOL IsSortAscending() const { return m_bSortAscending; }

    HWND m_hNotifyWnd = nullptr;

protected:
    void OnClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnHeaderClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnSetFocus(CWnd* oldFocus);
    void OnKillFocus(CWnd* newFocus);
    void OnPaint();

    DECLARE_MESSAGE_MAP()

private:
    CImageList m_imageList;
    CImageList m_stateImageList;
    // No column is sorted until a header is clicked.
    int m_nSortColumn = -1;
    BOOL m_bSortAscending = TRUE;
    // The frame of an empty list with the focus is on the screen.
    bool m_bEmptyFrameShown = false;
};
