// CMonitorDlg: the startup manager page. It lists the programs that start with Windows (the Run
// values of both roots and the shortcuts of both Startup folders) together with those disabled
// earlier, and enables, disables or removes them through a CStartupManager. The list after each
// action shows what resulted; an action that could not be done is also told in a message box.
#pragma once

#include "ItemListCtrl.h"
#include "Label.h"
#include "SkinPage.h"
#include "StartupManager.h"
#include "xSkinButton.h"
#include "resource.h"

class CMonitorDlg : public CSkinPage
{
public:
    CMonitorDlg();
    ~CMonitorDlg() override;

    BOOL OnInitDialog() override;

    // Reads everything again and fills the list.
    void RefreshList();
    CStartupManager& GetManager() { return m_manager; }

    void OnEnableAll();
    void OnDisableAll();
    void OnDisableSelected();
    void OnEnableSelected();
    void OnRemoveSelected();
    // Shows the one of the two buttons "Disable Selected" and "Enable Selected" that fits the row;
    // with no row selected, the one that fits the list: "Enable Selected" when every entry is disabled.
    void UpdateButtons(int row);
    // The selected row's name and command whole under the list, where the list's columns cut
    // them; empty with no row selected.
    void ShowSelectedRow(int row);

protected:
    void OnItemChanged(NMHDR* header, LRESULT* result);
    void OnGetItemText(NMHDR* header, LRESULT* result);
    DECLARE_MESSAGE_MAP()

private:
    void InitSkin();
    void ClearList();
    void FillRows();
    // Every header, and every text of the location and status columns, fits its column; the file
    // path takes the room that is left.
    void FitColumns(const CString (&titles)[4]);
    void Tell(const char* verb, const STARTUP_OUTCOME& outcome);
    void Tell(const char* verb, const CString& name, STARTUP_RESULT result);
    // The text of a row's column: the registry items first, then the folder items.
    CString CellText(int row, int column) const;
    int SelectedRow() const;
    const StartupRegItem* RegItemOf(int row) const;
    const StartupFolderItem* FolderItemOf(int row) const;

    CStartupManager m_manager;
    CItemListCtrl m_list;
    CLabel m_information;
    CLabel m_details;
    CLabel m_selectedRow;
    CxSkinButton m_enableAll;
    CxSkinButton m_disableAll;
    CxSkinButton m_disableSelected;
    CxSkinButton m_enableSelected;
    CxSkinButton m_removeSelected;
};
