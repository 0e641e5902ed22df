// CAdvanceSettingsDlg: the ignore-list view of the settings. It lists the entries of the
// found-item container's ignore list (one row per entry: its item and its category) and removes
// the selected entries from the list's file. The list holds no text of its own (owner data): a
// row is read from the page's rows when it is drawn, so ten thousand entries fill at once. An
// item too wide for its column ends in "..." and shows whole in the row's tip. Its tabs lead
// back to the settings page's views.
#pragma once

#include <map>
#include <vector>

#include "ItemListCtrl.h"
#include "Label.h"
#include "SkinPage.h"
#include "xSkinButton.h"
#include "resource.h"

// One row of the list: the entry's whole key (item, "^", category label) and its two parts,
// split when asked for so that a long list is held once.
struct IGNORE_LIST_ROW
{
    CString key;
    CString Item() const;
    CString Category() const;
};

// The rows for an ignore list's keys, in key order and each key once. A key is split at its last
// "^": item texts may hold "^", category labels never do.
std::vector<IGNORE_LIST_ROW> MakeIgnoreListRows(std::vector<CString> keys);
// The rows of the ignore list in the file at `path`, read straight from it (a list of a million
// entries is held once, as rows); FALSE when the file cannot be read.
BOOL ReadIgnoreListRows(const CString& path, std::vector<IGNORE_LIST_ROW>* rows);

class CAdvanceSettingsDlg : public CSkinPage
{
public:
    CAdvanceSettingsDlg();
    ~CAdvanceSettingsDlg() override;

    BOOL OnInitDialog() override;

    // Reads the ignore list again and shows it.
    void FillIgnoreList();

    void OnRemove();
    void OnGeneralTab();
    void OnAdvanceTab();
    void OnScheduleTab();
    void OnGeneralLink(NMHDR*, LRESULT* result);

    // The whole item of a row whose item column shows it cut; empty when it fits (or no row).
    CString ItemTipOf(int row) const;

protected:
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message);
    void OnGetRowText(NMHDR* header, LRESULT* result);
    void OnGetRowTip(NMHDR* header, LRESULT* result);
    DECLARE_MESSAGE_MAP()

private:
    void InitSkin();
    void SetFonts();
    static BOOL ReadIgnoreList(std::map<CString, int>* list);
    std::vector<int> SelectedRows() const;

    HBRUSH m_hWhiteBrush;
    CLabel m_title;
    CLabel m_heading;
    CLabel m_details;
    CLabel m_generalLink;
    CLabel m_advanceLink;
    CLabel m_categoryLabel;
    CxSkinButton m_remove;
    CxSkinButton m_generalTab;
    CxSkinButton m_scheduleTab;
    CxSkinButton m_ignoreTab;
    CxSkinButton m_scanTab;
    CItemListCtrl m_list;
    // What the list shows, row by row.
    std::vector<IGNORE_LIST_ROW> m_rows;
};
