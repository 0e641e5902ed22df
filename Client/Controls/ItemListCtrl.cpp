#include "ItemListCtrl.h"

namespace {

const UINT kCheckImagesBitmap = 225;
const int kCheckImageWidth = 18;
const int kColumnWidths[4] = { 140, 315, 55, 55 };

} // namespace

BEGIN_MESSAGE_MAP(CItemListCtrl, CListCtrl)
    ON_NOTIFY_REFLECT(NM_CLICK, OnClick)
    ON_NOTIFY(HDN_ITEMCLICKA, 0, OnHeaderClick)
    ON_NOTIFY(HDN_ITEMCLICKW, 0, OnHeaderClick)
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_PAINT()
END_MESSAGE_MAP()

void CItemListCtrl::InitImageLists()
{
    m_imageList.Create(kCheckImagesBitmap, kCheckImageWidth, 5, RGB(255, 255, 255));
    m_stateImageList.Create(kCheckImagesBitmap, kCheckImageWidth, 5, RGB(255, 255, 255));
    SetImageList(&m_imageList, LVSIL_NORMAL);
    SetImageList(&m_imageList, LVSIL_SMALL);
}

void CItemListCtrl::InsertColumns(CString title0, CString title1, CString title2, CString title3)
{
    const CString titles[4] = { title0, title1, title2, title3 };
    for (int column = 0; column < 4; ++column)
        InsertColumn(column, titles[column], LVCFMT_LEFT, kColumnWidths[column]);
}

void CItemListCtrl::OnClick(NMHDR* pNMHDR, LRESULT* pResult)
{
    const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(pNMHDR);
    LVHITTESTINFO hit = {};
    hit.pt = activate->ptAction;
    const int item = HitTest(&hit);
    if (item >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) {
        RedrawItems(item, item);
        const INT_PTR data = static_cast<INT_PTR>(GetItemData(item));
        if (data >= 0 && m_hNotifyWnd)
            ::SendMessageA(m_hNotifyWnd, WM_LIST_CHECK, static_cast<WPARAM>(data), 0);
    }
    // The list's own handling goes on (a check-box list toggles the check itself).
    *pResult = 0;
}

void CItemListCtrl::OnHeaderClick(NMHDR* pNMHDR, LRESULT* pResult)
{
    const auto* header = reinterpret_cast<const NMHEADERA*>(pNMHDR);
    *pResult = 0;
    if (header->iButton == 0) {
        m_bSortAscending = header->iItem == m_nSortColumn ? !m_bSortAscending : TRUE;
        m_nSortColumn = header->iItem;
    }
    // The list still tells its parent about the column click.
    Default();
}

void CItemListCtrl::OnSetFocus(CWnd*)
{
    Default();
    // The keys act on a row from the start, and the user sees which.
    if (GetItemCount() > 0 && GetNextItem(-1, LVNI_FOCUSED) < 0)
        SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    else if (GetItemCount() == 0)
        Invalidate();
}

void CItemListCtrl::OnKillFocus(CWnd*)
{
    Default();
    if (m_bEmptyFrameShown)
        Invalidate();
}

void CItemListCtrl::OnPaint()
{
    Default();
    const bool framesHidden = (SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS) != 0;
    if (GetItemCount() > 0 || ::GetFocus() != m_hWnd || framesHidden) {
        // Rows that came or a focus that went paint only their own part: the whole list is
        // drawn once more, so that nothing of the frame stays.
        if (m_bEmptyFrameShown) {
            m_bEmptyFrameShown = false;
            Invalidate();
        }
        return;
    }
    // An empty list has no row to frame: the frame goes round the room for the rows.
    CRect rows;
    GetClientRect(&rows);
    if (const HWND header = ListView_GetHeader(m_hWnd)) {
        CRect headerRect;
        ::GetWindowRect(header, &headerRect);
        if (::IsWindowVisible(header))
            rows.top += headerRect.Height();
    }
    rows.DeflateRect(2, 2);
    CClientDC dc(this);
    dc.DrawFocusRect(rows);
    m_bEmptyFrameShown = true;
}
