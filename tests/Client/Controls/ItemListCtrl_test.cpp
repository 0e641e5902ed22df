// The list with check images: its columns as the header shows them, the image list with white
// seen through, the sort state kept from header clicks, the message to the notify window when a
// state image is clicked, and the focus shown with rows and without.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "DemoDialog.h"
#include "WindowCapture.h"

namespace {

std::string HeaderTitle(HWND header, int index)
{
    char title[64] = {};
    HDITEMA item = {};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = title;
    item.cchTextMax = sizeof(title);
    Header_GetItem(header, index, &item);
    return (item.fmt & HDF_JUSTIFYMASK) == HDF_LEFT ? title : std::string("(not left-aligned) ") + title;
}

TEST(ItemListCtrlTest, ColumnsAsTheHeaderShowsThem)
{
    CItemListCtrl& list = CDemoDialog::Get().m_list;
    HWND header = list.GetHeaderCtrl();
    // Side by side from the left edge, each title left-aligned and whole in its column.
    const struct { const char* title; int left, right; } columns[] = {
        { "Name", 0, 140 }, { "Location", 140, 455 }, { "Type", 455, 510 }, { "Status", 510, 565 },
    };
    ASSERT_EQ(4, Header_GetItemCount(header));
    for (int i = 0; i < 4; ++i) {
        RECT rect = {};
        ASSERT_TRUE(Header_GetItemRect(header, i, &rect));
        EXPECT_EQ(columns[i].left, rect.left) << columns[i].title;
        EXPECT_EQ(columns[i].right, rect.right) << columns[i].title;
        EXPECT_EQ(columns[i].title, HeaderTitle(header, i));
        EXPECT_LT(ListView_GetStringWidth(list, columns[i].title) + 12, rect.right - rect.left) << columns[i].title;
    }
    EXPECT_STREQ("Old driver", list.GetItemText(2, 0));
    EXPECT_STREQ("Disabled", list.GetItemText(1, 3));

    // A list that has columns gets four more, in front of them (owners delete theirs first).
    CItemListCtrl second;
    HWND hWnd = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 300, 100, CDemoDialog::Get(),
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(second.SubclassWindow(hWnd));
    second.InsertColumns("A", "B", "C", "D");
    second.InsertColumns("E", "F", "G", "H");
    ASSERT_EQ(8, Header_GetItemCount(second.GetHeaderCtrl()));
    EXPECT_EQ("E", HeaderTitle(second.GetHeaderCtrl(), 0));
    EXPECT_EQ("A", HeaderTitle(second.GetHeaderCtrl(), 4));
    EXPECT_EQ(315, ListView_GetColumnWidth(second, 1));
    EXPECT_EQ(315, ListView_GetColumnWidth(second, 5));
    second.DestroyWindow();
}

TEST(ItemListCtrlTest, TheFocusShowsOnTheFirstRowOrRoundAnEmptyList)
{
    CDemoDialog& demo = CDemoDialog::Get();
    CItemListCtrl list;
    HWND hWnd = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL,
                                  560, 300, 200, 120, demo, nullptr, nullptr, nullptr);
    ASSERT_TRUE(list.SubclassWindow(hWnd));
    list.InsertColumns("A", "B", "C", "D");
    ::SetForegroundWindow(demo);
    for (int rows : { 0, 2 }) {
        for (int row = 0; row < rows; ++row)
            list.InsertItem(row, "row");
        demo.SetFocus();
        PumpMessages(20);
        ASSERT_TRUE(WaitUntilDrawn(demo));
        EXPECT_FALSE(HasDottedLine(CaptureWindow(list))) << rows << " rows, without the focus";
        list.SetFocus();
        ASSERT_TRUE(WaitUntilDrawn(demo));
        EXPECT_TRUE(HasDottedLine(CaptureWindow(list))) << rows << " rows, with the focus";
        if (rows > 0) {
            EXPECT_EQ(0, list.GetNextItem(-1, LVNI_FOCUSED));
            EXPECT_EQ(-1, list.GetNextItem(-1, LVNI_SELECTED)) << "focused, not selected";
        }
    }
    list.DestroyWindow();
}

TEST(ItemListCtrlTest, OneImageListOfCheckImagesWithWhiteSeenThrough)
{
    CItemListCtrl& list = CDemoDialog::Get().m_list;
    HIMAGELIST images = list.GetImageList(LVSIL_SMALL);
    EXPECT_EQ(images, list.GetImageList(LVSIL_NORMAL));
    EXPECT_EQ(8, ::ImageList_GetImageCount(images));
    int width = 0, height = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(images, &width, &height));
    EXPECT_EQ(18, width);

    // Drawn over red, the bitmap's white pixels show the red; its other pixels keep their colour.
    CBitmap strip;
    ASSERT_TRUE(strip.LoadBitmap(225));
    HDC screen = ::GetDC(nullptr);
    const CWindowPixels source = CaptureBitmap(screen, strip);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP target = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(dc, target);
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    RECT all = { 0, 0, width, height };
    ::FillRect(dc, &all, red);
    ::ImageList_Draw(images, 1, dc, 0, 0, ILD_TRANSPARENT);
    ::SelectObject(dc, old);
    const CWindowPixels drawn = CaptureBitmap(screen, target);
    int white = 0;
    int other = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF original = source.At(width + x, y);
            if (original == RGB(255, 255, 255)) {
                ++white;
                EXPECT_EQ(RGB(255, 0, 0), drawn.At(x, y)) << x << "," << y;
            } else {
                ++other;
                EXPECT_EQ(original, drawn.At(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(white, 0);
    EXPECT_GT(other, 0);
    ::DeleteObject(red);
    ::DeleteObject(target);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
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
