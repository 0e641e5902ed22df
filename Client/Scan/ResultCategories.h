// The fourteen registry categories as the results tree shows them: the name of each category row
// (which the ignore list and the statistics page also use), its description and row image, and
// the texts built from them. Row i of the table is row i of the scan categories (ScanCategories.h).
#pragma once

#include <map>

#include "ScanCategories.h"

struct RESULT_CATEGORY_INFO
{
    DWORD bit;
    const char* rowName;        // the category row's name, exactly as stored in the ignore list
    int descriptionString;      // string table id of the description; 0: the literal below
    const char* description;
    int image;                  // row image of the category and its entries
};

extern const RESULT_CATEGORY_INFO kResultCategories[kRegistryCategoryCount];

// The category's index in the table by its row name (exact, with case), or -1.
int FindResultCategory(const CString& rowName);
// The index of a category bit, or -1.
int FindResultCategoryByBit(DWORD bit);

// A category row's name: the row text before its first '[', trimmed.
CString CategoryNameOfRowText(const CString& rowText);
// The row text before the entries are counted: name, eight spaces, "[count]".
CString CategoryRowText(const CString& name, int count);
// The row text with its entries counted: name, eight spaces, "[count Error(s)]".
CString CategoryRowLabel(const CString& name, int count);
// The description as the page shows it: without "Description :", trimmed.
CString CleanDescription(const CString& description);
// The description of a category: from the string table, or its literal.
CString LoadCategoryDescription(int index);

// Ignore-list entries ("item^label") per category, by the label after the last '^' (item texts
// may hold '^' themselves, labels never do); an entry ignored under several labels or texts
// counts once, in the first of its categories. Entries of other labels are counted nowhere.
void CountIgnoredPerCategory(const std::map<CString, int>& displayList, int counts[kRegistryCategoryCount]);

// The key under which an entry of a category is excluded from a repair or ignored.
CString ExclusionKey(const CString& item, const CString& categoryName);
