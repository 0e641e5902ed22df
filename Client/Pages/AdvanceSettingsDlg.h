// CAdvanceSettingsDlg: the ignore-list view of the settings. It lists the entries of the
// found-item container's ignore list (one row per entry: its item and its category) and removes
// the selected entry from the list's file. Its tabs lead back to the settings page's views.
#pragma once

#include <map>
#include <vector>

#include "ItemListCtrl.h"
#include "Label.h"
#include "SkinPage.h"
#include "xSkinButton.h"
#include "resource.h"

// One row of the list: the entry's whole key (item, "^", category label) and its two parts.
struct IGNORE_LIST_ROW
{
    CString key;
    CString item;
    CString category;
};

// The rows for an ignore list in key order. A key is split at its last "^": item texts may hold
// "^", category labels never do.
std::vector<IGNORE_LIST_ROW> MakeIgnoreListRows(const std::map<CString, int>& list);

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

protected:
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message);
    DECLARE_MESSAGE_MAP()

private:
    void InitSkin();
    void SetFonts();
    static BOOL ReadIgnoreList(std::map<CString, int>* list);

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
    // What the list shows; a row's item data is its index here.
    std::vector<IGNORE_LIST_ROW> m_rows;
};
