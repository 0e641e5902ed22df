#include "AdvanceSettingsDlg.h"

#include "IgnoreListFile.h"
#include "Kelvara.h"
#include "QuillonDlg.h"

#include <algorithm>

namespace {

const int kItemColumn = 0;
const int kCategoryColumn = 1;

} // namespace

CString IGNORE_LIST_ROW::Item() const
{
    CString item;
    SplitIgnoreKey(key, &item, nullptr);
    return item;
}

CString IGNORE_LIST_ROW::Category() const
{
    CString category;
    SplitIgnoreKey(key, nullptr, &category);
    return category;
}

std::vector<IGNORE_LIST_ROW> MakeIgnoreListRows(std::vector<CString> keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<IGNORE_LIST_ROW> rows;
    rows.reserve(keys.size());
    for (CString& key : keys) {
        rows.push_back(IGNORE_LIST_ROW{ std::move(key) });
        key = CString();
    }
    return rows;
}

BOOL ReadIgnoreListRows(const CString& path, std::vector<IGNORE_LIST_ROW>* rows)
{
    // The keys the found-item container shows and edits: item, "^", category label.
    std::vector<CString> keys;
    // A file that repeats its entries is made unique as it is read, so its repeats are never
    // held all at once.
    size_t uniqueAt = 4096;
    const BOOL read = CIgnoreListFile::ReadRecords(path, [&keys, &uniqueAt](IGNORE_LIST_RECORD& record) {
        if (record.Item.IsEmpty())
            return;
        keys.push_back(record.Item + "^" + record.Category);
        if (keys.size() >= uniqueAt) {
            std::sort(keys.begin(), keys.end());
            keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
            uniqueAt = std::max<size_t>(uniqueAt, 2 * keys.size());
        }
    });
    if (!read)
        return FALSE;
    *rows = MakeIgnoreListRows(std::move(keys));
    return TRUE;
}

BEGIN_MESSAGE_MAP(CAdvanceSettingsDlg, CSkinPage)
    ON_BN_CLICKED(IDC_IGNORE_REMOVE, OnRemove)
    ON_BN_CLICKED(IDC_IGNORE_TAB_GENERAL, OnGeneralTab)
    ON_BN_CLICKED(IDC_IGNORE_TAB_SCAN, OnAdvanceTab)
    ON_BN_CLICKED(IDC_IGNORE_TAB_SCHEDULE, OnScheduleTab)
    ON_NOTIFY(LABEL_NOTIFY_CLICK, IDC_IGNORE_GENERAL_LINK, OnGeneralLink)
    ON_NOTIFY(LVN_GETDISPINFOA, IDC_IGNORE_LIST, OnGetRowText)
    ON_NOTIFY(LVN_GETINFOTIPA, IDC_IGNORE_LIST, OnGetRowTip)
    ON_WM_CTLCOLOR()
    ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CAdvanceSettingsDlg::CAdvanceSettingsDlg() : CSkinPage(IDD_IGNORE_LIST, 172)
{
    m_hWhiteBrush = ::CreateSolidBrush(RGB(255, 255, 255));
}

CAdvanceSettingsDlg::~CAdvanceSettingsDlg()
{
    ::DeleteObject(m_hWhiteBrush);
}

BOOL CAdvanceSettingsDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    InitSkin();
    return TRUE;
}

void CAdvanceSettingsDlg::InitSkin()
{
    BindSkinButtons(this, {
        { &m_remove, IDC_IGNORE_REMOVE, 368, 368, 369, 0 },
        { &m_generalTab, IDC_IGNORE_TAB_GENERAL, 297, 297, 0, 298 },
        { &m_scheduleTab, IDC_IGNORE_TAB_SCHEDULE, 301, 301, 0, 302 },
        { &m_ignoreTab, IDC_IGNORE_TAB_IGNORE, 303, 303, 0, 304 },
        { &m_scanTab, IDC_IGNORE_TAB_SCAN, 299, 299, 0, 300 },
    });
    m_list.SubclassDlgItem(IDC_IGNORE_LIST, this);
    SetFonts();
}

void CAdvanceSettingsDlg::SetFonts()
{
    const struct { CLabel* label; int id; } labels[] = {
        { &m_title, IDC_IGNORE_TITLE }, { &m_heading, IDC_IGNORE_HEADING }, { &m_details, IDC_IGNORE_DETAILS },
        { &m_generalLink, IDC_IGNORE_GENERAL_LINK }, { &m_advanceLink, IDC_IGNORE_ADVANCE_LINK },
        { &m_categoryLabel, IDC_IGNORE_CATEGORY_LABEL },
    };
    for (const auto& l : labels)
        l.label->SubclassDlgItem(l.id, this);
    m_title.SetFontName("Arial")->SetFontSize(12)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(0x248624);
    CQuillonApp* app = QuillonApp();
    HCURSOR hand = app ? app->m_hHandCursor : nullptr;
    m_generalLink.SetFontName("Arial")->SetFontSize(11)->SetTransparent(TRUE)->SetTextColor(0xEA8D59)
        ->SetLink(TRUE, TRUE)->SetLinkCursor(hand);
    m_advanceLink.SetFontName("Arial")->SetFontSize(11)->SetFontBold(TRUE)->SetTransparent(TRUE)
        ->SetTextColor(0xBF3700)->SetLink(TRUE, TRUE)->SetLinkCursor(hand);
    m_heading.SetFontName("Arial")->SetFontSize(12)->SetTransparent(TRUE)->SetTextColor(0x404040);
    char details[512] = {};
    ::LoadStringA(AfxGetResourceHandle(), IDS_IGNORE_DETAILS, details, sizeof(details));
    m_details.SetFontName("Arial")->SetFontSize(8)->SetTransparent(TRUE)->SetTextColor(0x404040)->SetText(details);
    m_categoryLabel.SetFontName("Arial")->SetFontSize(8)->SetTransparent(TRUE)->SetTextColor(0x404040);
}

BOOL CAdvanceSettingsDlg::ReadIgnoreList(std::map<CString, int>* list)
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pItems)
        return FALSE;
    if (!app->m_pItems->LoadIgnoreListForDisplay())
        return FALSE;
    return app->m_pItems->GetIgnoreList(list) != 0;
}

void CAdvanceSettingsDlg::FillIgnoreList()
{
    if (!m_list.m_hWnd)
        return;
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    // An owner-data list keeps its selection by row number: a row of the old list must not stay
    // selected on whatever entry takes its place.
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(m_list.m_hWnd, 0, 0);
    while (m_list.GetColumnCount() > 0)
        m_list.DeleteColumn(0);
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    m_list.m_hNotifyWnd = m_hWnd;
    m_list.InsertColumn(kItemColumn, "Registry Key", LVCFMT_LEFT, 380);
    m_list.InsertColumn(kCategoryColumn, "Category", LVCFMT_LEFT, 140);

    m_rows.clear();
    CQuillonApp* app = QuillonApp();
    if (app && app->m_pItems)
        ReadIgnoreListRows(app->m_pItems->GetIgnoreListPath(), &m_rows);
    ListView_SetItemCountEx(m_list.m_hWnd, static_cast<int>(m_rows.size()), 0);
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    m_list.Invalidate();
}

void CAdvanceSettingsDlg::OnGetRowText(NMHDR* header, LRESULT* result)
{
    *result = 0;
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    const int row = info->item.iItem;
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0 || row < 0 ||
        row >= static_cast<int>(m_rows.size()))
        return;
    const IGNORE_LIST_ROW& shown = m_rows[static_cast<size_t>(row)];
    const CString text = info->item.iSubItem == kItemColumn ? shown.Item() : shown.Category();
    lstrcpynA(info->item.pszText, text, info->item.cchTextMax);
}

CString CAdvanceSettingsDlg::ItemTipOf(int row) const
{
    if (!m_list.m_hWnd || row < 0 || row >= static_cast<int>(m_rows.size()))
        return CString();
    const CString item = m_rows[static_cast<size_t>(row)].Item();
    // The list draws a cell's text between margins of its own; what needs more than the column
    // ends in "...".
    const int margins = 4 * ::GetSystemMetrics(SM_CXEDGE) + 4;
    const int needed = ListView_GetStringWidth(m_list.m_hWnd, item) + margins;
    return needed > ListView_GetColumnWidth(m_list.m_hWnd, kItemColumn) ? item : CString();
}

void CAdvanceSettingsDlg::OnGetRowTip(NMHDR* header, LRESULT* result)
{
    *result = 0;
    auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(header);
    if (!tip->pszText || tip->cchTextMax <= 0)
        return;
    const CString whole = ItemTipOf(tip->iItem);
    if (!whole.IsEmpty())
        lstrcpynA(tip->pszText, whole, tip->cchTextMax);
}

std::vector<int> CAdvanceSettingsDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (int row = m_list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = m_list.GetNextItem(row, LVNI_SELECTED))
        rows.push_back(row);
    return rows;
}

void CAdvanceSettingsDlg::OnRemove()
{
    if (!m_list.m_hWnd || m_rows.empty())
        return;
    std::vector<int> selected = SelectedRows();
    selected.erase(std::remove_if(selected.begin(), selected.end(),
                                  [this](int row) { return row >= static_cast<int>(m_rows.size()); }),
                   selected.end());
    if (selected.empty())
        return;
    std::map<CString, int> list;
    if (!ReadIgnoreList(&list))
        return;
    // The whole key, category included: another entry with the same text stays.
    size_t erased = 0;
    for (int row : selected)
        erased += list.erase(m_rows[static_cast<size_t>(row)].key);
    if (erased == 0)
        return;
    CQuillonApp* app = QuillonApp();
    if (!app->m_pItems->SaveIgnoreList(&list))
        return;
    // The rows go from the last up, so the indexes still to go stay right; no row stays selected.
    for (auto row = selected.rbegin(); row != selected.rend(); ++row)
        m_rows.erase(m_rows.begin() + *row);
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(m_list.m_hWnd, static_cast<int>(m_rows.size()), 0);
    m_list.Invalidate();
}

void CAdvanceSettingsDlg::OnGeneralTab()
{
    if (CQuillonDlg* mainWindow = QuillonMainWindow()) {
        mainWindow->ShowPage(PAGE_SETTINGS);
        mainWindow->m_settingsPage.SetView(CSettingDlg::VIEW_GENERAL);
    }
}

void CAdvanceSettingsDlg::OnScheduleTab()
{
    if (CQuillonDlg* mainWindow = QuillonMainWindow()) {
        mainWindow->ShowPage(PAGE_SETTINGS);
        mainWindow->m_settingsPage.SetView(CSettingDlg::VIEW_SCHEDULE);
    }
}

void CAdvanceSettingsDlg::OnAdvanceTab()
{
    if (CQuillonDlg* mainWindow = QuillonMainWindow()) {
        mainWindow->ShowPage(PAGE_SETTINGS);
        mainWindow->m_settingsPage.SetView(CSettingDlg::VIEW_GENERAL_MORE);
    }
}

void CAdvanceSettingsDlg::OnGeneralLink(NMHDR*, LRESULT* result)
{
    *result = 0;
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->ShowPage(PAGE_SETTINGS);
}

HBRUSH CAdvanceSettingsDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this)
        return m_hWhiteBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}

BOOL CAdvanceSettingsDlg::OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message)
{
    CQuillonApp* app = QuillonApp();
    if (pWnd && app && app->m_hHandCursor) {
        for (CxSkinButton* tab : { &m_generalTab, &m_scanTab, &m_scheduleTab, &m_ignoreTab }) {
            if (pWnd->m_hWnd == tab->m_hWnd) {
                ::SetCursor(app->m_hHandCursor);
                return TRUE;
            }
        }
    }
    return CSkinPage::OnSetCursor(pWnd, hitTest, message);
}
