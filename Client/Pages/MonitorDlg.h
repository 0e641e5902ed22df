// CMonitorDlg: the startup manager page (its list and buttons are still to come).
#pragma once

#include "SkinPage.h"
#include "resource.h"

class CMonitorDlg : public CSkinPage
{
public:
    CMonitorDlg() : CSkinPage(IDD_STARTUP, 171) {}
};
