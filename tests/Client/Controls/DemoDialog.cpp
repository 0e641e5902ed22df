#include "DemoDialog.h"

#include "WindowCapture.h"

namespace {

CDemoDialog* g_demo = nullptr;

} // namespace

BEGIN_MESSAGE_MAP(CDemoDialog, CBitmapDialog)
    ON_MESSAGE(WM_LIST_CHECK, OnListCheck)
END_MESSAGE_MAP()

CDemoDialog& CDemoDialog::Get()
{
    if (!g_demo) {
        g_demo = new CDemoDialog;
        g_demo->Create(IDD_DEMO);
        g_demo->SetWindowPos(&CWnd::wndTopMost, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        PumpMessages(100);
    }
    return *g_demo;
}

void CDemoDialog::Destroy()
{
    delete g_demo;
    g_demo = nullptr;
}

void CDemoDialog::DoDataExchange(CDataExchange* pDX)
{
    CBitmapDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_NAV_SCAN, m_navScan);
    DDX_Control(pDX, IDC_NAV_RESULTS, m_navResults);
    DDX_Control(pDX, IDC_CLOSE, m_close);
    DDX_Control(pDX, IDC_CHECK_A, m_checkA);
    DDX_Control(pDX, IDC_CHECK_B, m_checkB);
    DDX_Control(pDX, IDC_RADIO_1, m_radio1);
    DDX_Control(pDX, IDC_RADIO_2, m_radio2);
    DDX_Control(pDX, IDC_RADIO_3, m_radio3);
    DDX_Control(pDX, IDC_AFTER_GROUP, m_push);
    DDX_Control(pDX, IDC_TAB, m_tab);
    DDX_Control(pDX, IDC_LABEL_TITLE, m_title);
    DDX_Control(pDX, IDC_LABEL_GRADIENT, m_gradient);
    DDX_Control(pDX, IDC_LABEL_LINK, m_link);
    DDX_Control(pDX, IDC_LABEL_FLASH, m_flash);
    DDX_Control(pDX, IDC_LABEL_HOVER_TARGET, m_hoverTarget);
    DDX_Control(pDX, IDC_LABEL_CENTER, m_center);
    DDX_Control(pDX, IDC_PICTURE, m_picture);
    DDX_Control(pDX, IDC_PICTURE_BAR, m_bar);
    DDX_Control(pDX, IDC_LIST, m_list);
}

BOOL CDemoDialog::OnInitDialog()
{
    CBitmapDialog::OnInitDialog();
    SetBitmap(129);
    m_crTransparent = RGB(255, 0, 255);
    m_bShapedWindow = TRUE;
    BuildWindowRegion();
    m_bDragWindow = TRUE;

    m_navScan.SetSkin(135, 135, 137, 136);
    m_navResults.SetSkin(131, 131, 132, 133);
    m_navResults.EnableWindow(FALSE);  // the page on show
    m_close.SetSkin(144, 158, 158, 0);
    // Faces with their caption in the bitmap; the down image shows the checked state.
    m_checkA.SetSkin(356, 357, 357, 0);
    m_checkB.SetSkin(368, 369, 369, 0);
    m_radio1.SetSkin(344, 345, 345, 0);
    m_radio2.SetSkin(346, 347, 347, 0);
    m_radio3.SetSkin(350, 351, 351, 0);
    m_push.SetSkin(191, 192, 192, 0);
    m_tab.SetSkin(303, 303, 0, 304);

    m_title.SetFontName("Verdana")->SetFontSize(14)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(RGB(23, 50, 77));
    m_gradient.SetBkColor(RGB(18, 53, 86), RGB(79, 209, 197), TRUE)->SetTextColor(RGB(255, 255, 255))->SetFontBold(TRUE);
    m_link.SetLink(TRUE, FALSE)->SetTextColor(RGB(31, 120, 200))->SetFontUnderline(TRUE)->SetTransparent(TRUE);
    m_link.SetHoverText(&m_hoverTarget, "Opens the maker's web site");
    m_flash.SetTextColor(RGB(214, 69, 65))->SetBkColor(RGB(255, 255, 255))->FlashText(TRUE);
    m_hoverTarget.SetTransparent(TRUE)->SetTextColor(RGB(90, 110, 130));
    m_center.SetBkColor(RGB(238, 244, 248))->SetTextColor(RGB(23, 50, 77));

    if (m_picture.Load(MAKEINTRESOURCEA(334))) {
        m_picture.Draw();
        m_picture.SetBkColor(RGB(255, 255, 255));
    }
    if (m_bar.Load(MAKEINTRESOURCEA(361))) {
        m_bar.Draw();
        m_bar.SetBkColor(RGB(255, 255, 255));
    }

    m_list.InitImageLists();
    m_list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    m_list.InsertColumns("Name", "Location", "Type", "Status");
    const char* rows[][4] = { { "Updater", "HKCU\\...\\Run", "Run", "Enabled" },
                              { "Tray helper", "Startup folder", "Link", "Disabled" },
                              { "Old driver", "HKLM\\...\\Run", "Run", "Enabled" } };
    for (int row = 0; row < 3; ++row) {
        const int item = m_list.InsertItem(row, rows[row][0], row == 1 ? 4 : 1);
        for (int column = 1; column < 4; ++column)
            m_list.SetItemText(item, column, rows[row][column]);
        m_list.SetItemData(item, row == 2 ? static_cast<DWORD_PTR>(-1) : static_cast<DWORD_PTR>(row + 7));
        m_list.SetCheck(item, row != 1);
    }
    m_list.m_hNotifyWnd = m_hWnd;
    return TRUE;
}

BOOL CDemoDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CBitmapDialog::OnCommand(wParam, lParam))
        return TRUE;
    if (lParam && HIWORD(wParam) == BN_CLICKED) {
        const int check = static_cast<int>(::SendMessageA(reinterpret_cast<HWND>(lParam), BM_GETCHECK, 0, 0));
        m_events.push_back("clicked " + std::to_string(LOWORD(wParam)) + " " + std::to_string(check));
        return TRUE;
    }
    if (!lParam) {
        m_events.push_back("command " + std::to_string(LOWORD(wParam)));
        return TRUE;
    }
    return FALSE;
}

BOOL CDemoDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (CBitmapDialog::OnNotify(wParam, lParam, pResult))
        return TRUE;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == LABEL_NOTIFY_CLICK)
        m_events.push_back("notify " + std::to_string(header->idFrom) + " " + std::to_string(header->code));
    return FALSE;
}

LRESULT CDemoDialog::OnListCheck(WPARAM wParam, LPARAM)
{
    m_events.push_back("list " + std::to_string(static_cast<long long>(wParam)));
    return 0;
}
