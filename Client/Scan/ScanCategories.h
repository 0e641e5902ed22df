// The sixteen scan categories in the engine's scan order, with what each page of the scan wizard
// shows for them: the scan page's box, the scanning page's row and the statistics value names.
#pragma once

#include "VexaEngine.h"

enum ROW_SHADE { SHADE_LIGHT, SHADE_DARK };

struct SCAN_CATEGORY_INFO
{
    DWORD bit;
    const char* code;           // the area that the engine reports while it scans the category
    const char* name;           // as the lists show it
    int scanBox;                // check box of the scan page
    int descriptionString;      // string shown on hover; 0 for none
    int hoverLabel;             // hidden name label of the scan page that carries the hover; 0 for none
    int animatedIcon;           // scanning page: the spinner while the category is scanned
    int resultImage;            // scanning page: tick or cross when it is done
    int countLabel;             // scanning page: its count; 0 for the junk rows
    ROW_SHADE shade;
    COLORREF iconBackground;
    const char* errorValue;     // statistics value of the last scan's count (or size)
    int statisticsErrorLabel;   // statistics page: the Error(s) label of the row
};

constexpr int kCategoryCount = 16;
// The rows that count registry errors; the last two are the junk rows (Recycle Bin, Temp Files).
constexpr int kRegistryCategoryCount = 14;
constexpr int kRecycleBinRow = 14;
constexpr int kTempFilesRow = 15;

extern const SCAN_CATEGORY_INFO kScanCategories[kCategoryCount];

// The row of a category code (without regard to case), or -1.
int FindCategoryRowByCode(const char* code);
// The rows named by a category bit mask, in table order.
bool RowHasBit(int row, DWORD bits);
