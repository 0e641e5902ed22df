#include "MonitorDlg.h"

namespace {

CString LoadText(UINT id)
{
    char text[512] = {};
    ::LoadStringA(AfxGetResourceHandle(), id, text, sizeof(text));
    return CString(text);
}

} // namespace

BEGIN_MESSAGE_MAP(CMonitorDlg, CSkinPage)
    ON_BN_CLICKED(IDC_STARTUP_ENABLE_ALL, OnEnableAll)
    ON_BN_CLICKED(IDC_STARTUP_DISABLE_ALL, OnDisableAll)
    ON_BN_CLICKED(IDC_STARTUP_DISABLE_SELECTED, OnDisableSelected)
    ON_BN_CLICKED(IDC_STARTUP_ENABLE_SELECTED, OnEnableSelected)
    ON_BN_CLICKED(IDC_STARTUP_REMOVE_SELECTED, OnRemoveSelected)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_STARTUP_LIST, OnItemChanged)
    ON_NOTIFY(LVN_GETDISPINFOA, IDC_STARTUP_LIST, OnGetItemText)
END_MESSAGE_MAP()

CMonitorDlg::CMonitorDlg() : CSkinPage(IDD_STARTUP, 171)
{
}

CMonitorDlg::~CMonitorDlg() = default;

BOOL CMonitorDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    InitSkin();
    RefreshList();
    return TRUE;
}

void CMonitorDlg::InitSkin()
{
    BindSkinButtons(this, {
        { &m_enableAll, IDC_STARTUP_ENABLE_ALL, 344, 344, 345, 0 },
        { &m_disableAll, IDC_STARTUP_DISABLE_ALL, 346, 346, 347, 0 },
        { &m_disableSelected, IDC_STARTUP_DISABLE_SELECTED, 348, 348, 349, 0 },
        { &m_enableSelected, IDC_STARTUP_ENABLE_SELECTED, 354, 354, 355, 0 },
        { &m_removeSelected, IDC_STARTUP_REMOVE_SELECTED, 350, 350, 351, 0 },
    });
    m_list.SubclassDlgItem(IDC_STARTUP_LIST, this);
    m_information.SubclassDlgItem(IDC_STARTUP_INFORMATION, this);
    m_details.SubclassDlgItem(IDC_STARTUP_DETAILS, this);
    for (CLabel* label : { &m_information, &m_details })
        label->SetFontName("Verdana")->SetFontSize(10)->SetTransparent(TRUE)->SetTextColor(RGB(0, 0, 0));
    m_details.SetText(LoadText(IDS_STARTUP_DETAILS));
}

void CMonitorDlg::ClearList()
{
    m_list.DeleteAllItems();
    for (int columns = m_list.GetColumnCount(); columns > 0; --columns)
        m_list.DeleteColumn(0);
}

void CMonitorDlg::RefreshList()
{
    if (!m_list.m_hWnd)
        return;
    // One redraw for the whole list, however long.
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    ClearList();
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_manager.Refresh();
    m_list.m_hNotifyWnd = m_hWnd;
    m_list.InsertColumns(LoadText(IDS_STARTUP_COLUMN_NAME), LoadText(IDS_STARTUP_COLUMN_PATH),
                         LoadText(IDS_STARTUP_COLUMN_LOCATION), LoadText(IDS_STARTUP_COLUMN_STATUS));
    FillRows();
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    m_list.Invalidate();
    for (CxSkinButton* button : { &m_disableSelected, &m_enableSelected }) {
        if (button->m_hWnd)
            button->ShowWindow(SW_SHOW);
    }
}

void CMonitorDlg::FillRows()
{
    // The list holds no text of its own: each row is read from the manager when it is drawn, so
    // thousands of entries cost no more than one count.
    const size_t rows = m_manager.RegItems().size() + m_manager.FolderItems().size();
    ListView_SetItemCountEx(m_list.m_hWnd, static_cast<int>(rows), 0);
}

CString CMonitorDlg::CellText(int row, int column) const
{
    if (const StartupRegItem* item = RegItemOf(row)) {
        const char* const cells[4] = { item->name, item->command, item->localMachine ? "HKLM" : "HKCU",
                                       item->disabled ? "Disabled" : "Enabled" };
        return column >= 0 && column < 4 ? CString(cells[column]) : CString();
    }
    if (const StartupFolderItem* item = FolderItemOf(row)) {
        const char* const cells[4] = { item->name, item->command, item->common ? "Common Startup" : "Startup",
                                       item->disabled ? "Disabled" : "Enabled" };
        return column >= 0 && column < 4 ? CString(cells[column]) : CString();
    }
    return CString();
}

void CMonitorDlg::OnGetItemText(NMHDR* header, LRESULT* result)
{
    *result = 0;
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    lstrcpynA(info->item.pszText, CellText(info->item.iItem, info->item.iSubItem), info->item.cchTextMax);
}

int CMonitorDlg::SelectedRow() const
{
    return m_list.m_hWnd ? m_list.GetNextItem(-1, LVNI_SELECTED) : -1;
}

const StartupRegItem* CMonitorDlg::RegItemOf(int row) const
{
    const std::vector<StartupRegItem>& items = m_manager.RegItems();
    return row >= 0 && row < static_cast<int>(items.size()) ? &items[static_cast<size_t>(row)] : nullptr;
}

const StartupFolderItem* CMonitorDlg::FolderItemOf(int row) const
{
    const int index = row - static_cast<int>(m_manager.RegItems().size());
    const std::vector<StartupFolderItem>& items = m_manager.FolderItems();
    return index >= 0 && index < static_cast<int>(items.size()) ? &items[static_cast<size_t>(index)] : nullptr;
}

void CMonitorDlg::OnDisableSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    if (const StartupRegItem* item = RegItemOf(row)) {
        if (!item->disabled)
            m_manager.Disable(*item);
    } else if (const StartupFolderItem* folderItem = FolderItemOf(row)) {
        if (!folderItem->disabled)
            m_manager.Disable(*folderItem);
    }
    RefreshList();
}

void CMonitorDlg::OnEnableSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    if (const StartupRegItem* item = RegItemOf(row)) {
        if (item->disabled)
            m_manager.Enable(*item);
    } else if (const StartupFolderItem* folderItem = FolderItemOf(row)) {
        if (folderItem->disabled)
            m_manager.Enable(*folderItem);
    }
    RefreshList();
}

void CMonitorDlg::OnRemoveSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    if (const StartupRegItem* item = RegItemOf(row))
        m_manager.Remove(*item);
    else if (const StartupFolderItem* folderItem = FolderItemOf(row))
        m_manager.Remove(*folderItem);
    RefreshList();
}

void CMonitorDlg::OnDisableAll()
{
    m_manager.DisableAll();
    RefreshList();
}

void CMonitorDlg::OnEnableAll()
{
    m_manager.EnableAll();
    RefreshList();
}

void CMonitorDlg::UpdateButtons(int row)
{
    if (row < 0)
        return;
    const StartupRegItem* item = RegItemOf(row);
    const StartupFolderItem* folderItem = item ? nullptr : FolderItemOf(row);
    if (!item && !folderItem)
        return;
    const bool disabled = item ? item->disabled != 0 : folderItem->disabled != 0;
    m_disableSelected.ShowWindow(disabled ? SW_HIDE : SW_SHOW);
    m_enableSelected.ShowWindow(disabled ? SW_SHOW : SW_HIDE);
}

void CMonitorDlg::OnItemChanged(NMHDR* header, LRESULT* result)
{
    *result = 0;
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    // A row becoming selected; the list also reports every text it is given.
    if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED))
        UpdateButtons(change->iItem);
}
