// CAdvanceSettingsDlg: the ignore-list page (its list and buttons are still to come).
#pragma once

#include "SkinPage.h"
#include "resource.h"

class CAdvanceSettingsDlg : public CSkinPage
{
public:
    CAdvanceSettingsDlg() : CSkinPage(IDD_IGNORE_LIST, 172) {}
};
