// The list with check images: image lists and columns, the sort state kept from header clicks,
// and the message to the notify window when a state image is clicked.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "DemoDialog.h"
#include "WindowCapture.h"

namespace {

TEST(ItemListCtrlTest, ImagesAndColumns)
{
    CItemListCtrl& list = CDemoDialog::Get().m_list;
    EXPECT_EQ(8, ::ImageList_GetImageCount(list.GetImageList(LVSIL_SMALL)));
    EXPECT_EQ(list.GetImageList(LVSIL_SMALL), list.GetImageList(LVSIL_NORMAL));
    ASSERT_EQ(4, list.GetColumnCount());
    const int widths[4] = { 140, 315, 55, 55 };
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(widths[column], ListView_GetColumnWidth(list, column));
    EXPECT_STREQ("Old driver", list.GetItemText(2, 0));
    EXPECT_STREQ("Disabled", list.GetItemText(1, 3));
}

void HeaderClick(CItemListCtrl& list, int column, int button)
{
    NMHEADERA header = {};
    header.hdr.hwndFrom = list.GetHeaderCtrl();
    header.hdr.idFrom = 0;
    header.hdr.code = HDN_ITEMCLICKA;
    header.iItem = column;
    header.iButton = button;
    list.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

TEST(ItemListCtrlTest, HeaderClicksKeepTheSortColumnAndDirection)
{
    CItemListCtrl list;  // a fresh list starts with no sort column
    HWND hWnd = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 300, 100, CDemoDialog::Get(),
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(list.SubclassWindow(hWnd));
    list.InsertColumns("A", "B", "C", "D");
    EXPECT_EQ(-1, list.GetSortColumn());
    EXPECT_TRUE(list.IsSortAscending());
    const struct
    {
        int column, button, sortColumn;
        BOOL ascending;
    } steps[] = { { 1, 0, 1, TRUE }, { 1, 0, 1, FALSE }, { 1, 0, 1, TRUE }, { 2, 0, 2, TRUE },
                  { 2, 0, 2, FALSE }, { 3, 1, 2, FALSE }, { 0, 0, 0, TRUE } };
    for (const auto& step : steps) {
        HeaderClick(list, step.column, step.button);
        EXPECT_EQ(step.sortColumn, list.GetSortColumn());
        EXPECT_EQ(step.ascending, list.IsSortAscending());
    }
    // The header's own click notification counts as well.
    NMHEADERW wide = {};
    wide.hdr.hwndFrom = list.GetHeaderCtrl();
    wide.hdr.code = HDN_ITEMCLICKW;
    wide.iItem = 0;
    list.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&wide));
    EXPECT_FALSE(list.IsSortAscending());
}

// A point on the item's state image, found by hit-testing along its row.
bool StateImagePoint(CItemListCtrl& list, int item, POINT* point)
{
    CRect bounds;
    list.GetItemRect(item, &bounds, LVIR_BOUNDS);
    for (int x = bounds.left; x < bounds.left + 40; ++x) {
        LVHITTESTINFO hit = {};
        hit.pt = POINT{ x, (bounds.top + bounds.bottom) / 2 };
        if (list.HitTest(&hit) == item && (hit.flags & LVHT_ONITEMSTATEICON)) {
            *point = hit.pt;
            return true;
        }
    }
    return false;
}

void ListClick(CItemListCtrl& list, POINT point)
{
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = static_cast<UINT_PTR>(list.GetDlgCtrlID());
    click.hdr.code = NM_CLICK;
    click.ptAction = point;
    ::SendMessageA(::GetParent(list), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
}

TEST(ItemListCtrlTest, StateImageClickTellsTheNotifyWindow)
{
    CDemoDialog& demo = CDemoDialog::Get();
    CItemListCtrl& list = demo.m_list;
    POINT onCheck;
    ASSERT_TRUE(StateImagePoint(list, 0, &onCheck));
    demo.m_events.clear();
    ListClick(list, onCheck);
    EXPECT_EQ(std::vector<std::string>{ "list 7" }, demo.m_events);

    // On the label: nothing. On an item whose data is negative: nothing.
    CRect label;
    list.GetItemRect(0, &label, LVIR_LABEL);
    ListClick(list, POINT{ label.left + 20, (label.top + label.bottom) / 2 });
    POINT onNegative;
    ASSERT_TRUE(StateImagePoint(list, 2, &onNegative));
    ListClick(list, onNegative);
    EXPECT_EQ(1u, demo.m_events.size());

    // Without a notify window nothing is sent.
    list.m_hNotifyWnd = nullptr;
    ListClick(list, onCheck);
    list.m_hNotifyWnd = demo;
    EXPECT_EQ(1u, demo.m_events.size());
}

} // namespace
