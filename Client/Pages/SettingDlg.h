// CSettingDlg: the settings page (its options and schedule are still to come).
#pragma once

#include "SkinPage.h"
#include "resource.h"

class CSettingDlg : public CSkinPage
{
public:
    CSettingDlg() : CSkinPage(IDD_SETTINGS, 172) {}
};
