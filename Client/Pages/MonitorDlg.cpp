#include "MonitorDlg.h"

#include <algorithm>

#include "LineBreaks.h"

namespace {

CString LoadText(UINT id)
{
    char text[512] = {};
    ::LoadStringA(AfxGetResourceHandle(), id, text, sizeof(text));
    return CString(text);
}

// Every text the location and status columns can show.
const char* const kColumnTexts[4][4] = {
    {},
    {},
    { "HKLM", "HKCU", "Startup", "Common Startup" },
    { "Enabled", "Disabled" },
};

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
    // The list is read each time the page is shown (the main window's ShowPage), not at start.
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
    m_selectedRow.SubclassDlgItem(IDC_STARTUP_SELECTED_ROW, this);
    m_selectedRow.SetFontName("Tahoma")->SetFontSize(8)->SetTransparent(TRUE)->SetTextColor(0x404040);
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
    const CString titles[4] = { LoadText(IDS_STARTUP_COLUMN_NAME), LoadText(IDS_STARTUP_COLUMN_PATH),
                                LoadText(IDS_STARTUP_COLUMN_LOCATION), LoadText(IDS_STARTUP_COLUMN_STATUS) };
    m_list.InsertColumns(titles[0], titles[1], titles[2], titles[3]);
    FillRows();
    FitColumns(titles);
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    m_list.Invalidate();
    UpdateButtons(SelectedRow());
    ShowSelectedRow(SelectedRow());
}

void CMonitorDlg::FitColumns(const CString (&titles)[4])
{
    const HWND list = m_list.m_hWnd;
    const HWND header = ListView_GetHeader(list);
    // The header draws a title between two margins, inside its item's edge.
    const int edge = ::GetSystemMetrics(SM_CXEDGE);
    const int margin = std::max(static_cast<int>(::SendMessageA(header, HDM_GETBITMAPMARGIN, 0, 0)), 3 * edge);
    // A cell's text needs the list's padding behind it, as the list's own sizing counts it.
    const int cellPadding = 4 * edge + 4;
    CClientDC dc(&m_list);
    const HGDIOBJ oldFont = dc.SelectObject(reinterpret_cast<HGDIOBJ>(::SendMessageA(header, WM_GETFONT, 0, 0)));
    int widths[4] = {};
    int titleWidths[4] = {};
    for (int column = 0; column < 4; ++column) {
        titleWidths[column] = dc.GetTextExtent(titles[column]).cx + 2 * margin + edge;
        widths[column] = std::max(ListView_GetColumnWidth(list, column), titleWidths[column]);
        for (const char* text : kColumnTexts[column]) {
            if (text)
                widths[column] = std::max(widths[column], ListView_GetStringWidth(list, text) + cellPadding);
        }
    }
    dc.SelectObject(oldFont);
    // The room beside the vertical scroll bar when the rows need one, whether or not the list
    // shows it yet.
    CRect client;
    m_list.GetClientRect(&client);
    const int scrollBar = ::GetSystemMetrics(SM_CXVSCROLL);
    int room = client.Width() + ((m_list.GetStyle() & WS_VSCROLL) ? scrollBar : 0);
    if (m_list.GetItemCount() > ListView_GetCountPerPage(list))
        room -= scrollBar;
    widths[1] = std::max(titleWidths[1], room - widths[0] - widths[2] - widths[3]);
    for (int column = 0; column < 4; ++column)
        ListView_SetColumnWidth(list, column, widths[column]);
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
            Tell("disabled", item->name, m_manager.Disable(*item));
    } else if (const StartupFolderItem* folderItem = FolderItemOf(row)) {
        if (!folderItem->disabled)
            Tell("disabled", folderItem->name, m_manager.Disable(*folderItem));
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
            Tell("enabled", item->name, m_manager.Enable(*item));
    } else if (const StartupFolderItem* folderItem = FolderItemOf(row)) {
        if (folderItem->disabled)
            Tell("enabled", folderItem->name, m_manager.Enable(*folderItem));
    }
    RefreshList();
}

void CMonitorDlg::OnRemoveSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    if (const StartupRegItem* item = RegItemOf(row))
        Tell("removed", item->name, m_manager.Remove(*item));
    else if (const StartupFolderItem* folderItem = FolderItemOf(row))
        Tell("removed", folderItem->name, m_manager.Remove(*folderItem));
    RefreshList();
}

void CMonitorDlg::OnDisableAll()
{
    Tell("disabled", m_manager.DisableAll());
    RefreshList();
}

void CMonitorDlg::OnEnableAll()
{
    Tell("enabled", m_manager.EnableAll());
    RefreshList();
}

void CMonitorDlg::Tell(const char* verb, const CString& name, STARTUP_RESULT result)
{
    STARTUP_OUTCOME outcome;
    outcome.failed = result == STARTUP_DONE ? 0 : 1;
    outcome.first = result;
    outcome.firstName = name;
    Tell(verb, outcome);
}

void CMonitorDlg::Tell(const char* verb, const STARTUP_OUTCOME& outcome)
{
    if (outcome.failed)
        AfxMessageBox(CStartupManager::FailureText(verb, outcome), MB_OK | MB_ICONWARNING, m_hWnd);
}

void CMonitorDlg::UpdateButtons(int row)
{
    if (!m_disableSelected.m_hWnd || !m_enableSelected.m_hWnd)
        return;
    const StartupRegItem* item = RegItemOf(row);
    const StartupFolderItem* folderItem = item ? nullptr : FolderItemOf(row);
    bool disabled = false;
    if (item || folderItem) {
        disabled = item ? item->disabled != 0 : folderItem->disabled != 0;
    } else {
        const auto isDisabled = [](const auto& each) { return each.disabled != 0; };
        const std::vector<StartupRegItem>& regItems = m_manager.RegItems();
        const std::vector<StartupFolderItem>& folderItems = m_manager.FolderItems();
        disabled = (!regItems.empty() || !folderItems.empty()) &&
                   std::all_of(regItems.begin(), regItems.end(), isDisabled) &&
                   std::all_of(folderItems.begin(), folderItems.end(), isDisabled);
    }
    m_disableSelected.ShowWindow(disabled ? SW_HIDE : SW_SHOW);
    m_enableSelected.ShowWindow(disabled ? SW_SHOW : SW_HIDE);
}

void CMonitorDlg::OnItemChanged(NMHDR* header, LRESULT* result)
{
    *result = 0;
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    // A row selected or deselected; the list also reports other changes.
    if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
        UpdateButtons(SelectedRow());
        ShowSelectedRow(SelectedRow());
    }
}

void CMonitorDlg::ShowSelectedRow(int row)
{
    if (!m_selectedRow.m_hWnd)
        return;
    const CString name = CellText(row, 0);
    const CString command = CellText(row, 1);
    if (name.IsEmpty() && command.IsEmpty()) {
        m_selectedRow.SetText("");
        return;
    }
    m_selectedRow.SetText(BreakIntoLinesFor(m_selectedRow.m_hWnd, m_selectedRow.GetLogFont(), name + ": " + command));
}
