// CDefrag: the registry compaction page (its analysis and compaction are still to come).
#pragma once

#include "SkinPage.h"
#include "resource.h"

class CDefrag : public CSkinPage
{
public:
    CDefrag() : CSkinPage(IDD_DEFRAG, 391) {}
};
