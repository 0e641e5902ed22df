#include "AdvanceSettingsDlg.h"

#include "IgnoreListFile.h"
#include "Kelvara.h"
#include "QuillonDlg.h"

std::vector<IGNORE_LIST_ROW> MakeIgnoreListRows(const std::map<CString, int>& list)
{
    std::vector<IGNORE_LIST_ROW> rows;
    rows.reserve(list.size());
    for (const auto& entry : list) {
        IGNORE_LIST_ROW row;
        row.key = entry.first;
        SplitIgnoreKey(entry.first, &row.item, &row.category);
        rows.push_back(row);
    }
    return rows;
}

BEGIN_MESSAGE_MAP(CAdvanceSettingsDlg, CSkinPage)
    ON_BN_CLICKED(IDC_IGNORE_REMOVE, OnRemove)
    ON_BN_CLICKED(IDC_IGNORE_TAB_GENERAL, OnGeneralTab)
    ON_BN_CLICKED(IDC_IGNORE_TAB_SCAN, OnAdvanceTab)
    ON_BN_CLICKED(IDC_IGNORE_TAB_SCHEDULE, OnScheduleTab)
    ON_NOTIFY(LABEL_NOTIFY_CLICK, IDC_IGNORE_GENERAL_LINK, OnGeneralLink)
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
    m_list.DeleteAllItems();
    while (m_list.GetColumnCount() > 0)
        m_list.DeleteColumn(0);
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_list.m_hNotifyWnd = m_hWnd;
    m_list.InsertColumn(0, "Registry Key", LVCFMT_LEFT, 380);
    m_list.InsertColumn(1, "Category", LVCFMT_LEFT, 140);

    std::map<CString, int> list;
    ReadIgnoreList(&list);
    m_rows = MakeIgnoreListRows(list);
    for (size_t index = 0; index < m_rows.size(); ++index) {
        const int row = m_list.InsertItem(static_cast<int>(index), m_rows[index].item);
        m_list.SetItemText(row, 1, m_rows[index].category);
        m_list.SetItemData(row, index);
    }
}

void CAdvanceSettingsDlg::OnRemove()
{
    if (!m_list.m_hWnd || m_list.GetItemCount() == 0)
        return;
    const int selected = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (selected < 0)
        return;
    const size_t index = static_cast<size_t>(m_list.GetItemData(selected));
    if (index >= m_rows.size())
        return;
    std::map<CString, int> list;
    if (!ReadIgnoreList(&list))
        return;
    // The whole key, category included: another entry with the same text stays.
    if (list.erase(m_rows[index].key) == 0)
        return;
    CQuillonApp* app = QuillonApp();
    if (app->m_pItems->SaveIgnoreList(&list))
        m_list.DeleteItem(selected);
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
