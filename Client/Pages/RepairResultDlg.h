// CRepairResultDlg: the scan summary page, the wizard's last step (its texts are still to come).
#pragma once

#include "SkinPage.h"
#include "resource.h"

class CRepairResultDlg : public CSkinPage
{
public:
    CRepairResultDlg() : CSkinPage(IDD_SUMMARY, 0) {}
};
