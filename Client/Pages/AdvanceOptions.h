// CAdvanceOptions: the backup page (its list and buttons are still to come).
#pragma once

#include "SkinPage.h"
#include "resource.h"

class CAdvanceOptions : public CSkinPage
{
public:
    CAdvanceOptions() : CSkinPage(IDD_BACKUP, 197) {}
};
