// The demo window of the controls' tests: the main window's skin with every kind of control,
// created once (modelessly) and shared by the tests.
#pragma once

#include <string>
#include <vector>

#include "BitmapDialog.h"
#include "ControlsTestIds.h"
#include "ItemListCtrl.h"
#include "Label.h"
#include "PictureEx.h"
#include "xSkinButton.h"

class CDemoDialog : public CBitmapDialog
{
public:
    CDemoDialog() : CBitmapDialog(IDD_DEMO) {}

    CxSkinButton m_navScan, m_navResults, m_close, m_checkA, m_checkB, m_radio1, m_radio2, m_radio3, m_push, m_tab;
    CLabel m_title, m_gradient, m_link, m_flash, m_hoverTarget, m_center;
    CPictureEx m_picture, m_bar;
    CItemListCtrl m_list;

    // What the dialog received: "clicked <id> <check state when the click arrived>", "list <data>",
    // "notify <id> <code>", "command <id>".
    std::vector<std::string> m_events;

    // The shared window, created on first use.
    static CDemoDialog& Get();
    static void Destroy();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    LRESULT OnListCheck(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
