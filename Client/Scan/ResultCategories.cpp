#include "ResultCategories.h"

#include "Afx.h"
#include "IgnoreListFile.h"
#include "ItemLocation.h"

const RESULT_CATEGORY_INFO kResultCategories[kRegistryCategoryCount] = {
    { SCAN_AXO, "ActiveX Objects", 139, nullptr, 1 },
    { SCAN_UIE, "Uninstall Entries", 157, nullptr, 1 },
    { SCAN_FNT, "Windows Fonts", 140, nullptr, 1 },
    { SCAN_SHD, "Shared DLLs", 158, nullptr, 1 },
    { SCAN_APP, "Application Paths", 156, nullptr, 1 },
    { SCAN_HLP, "Help Files Information", 159, nullptr, 1 },
    { SCAN_SUI, "Windows Startup Items", 143, nullptr, 1 },
    { SCAN_FPR, "File Path Refferences", 0, "File/ Path refferences", 1 },
    { SCAN_SRC, "Program Shortcuts", 138, nullptr, 4 },
    { SCAN_ERK, "Empty Registry Keys", 0, "Empty Registry Keys", 1 },
    { SCAN_FAS, "File Associations", 141, nullptr, 1 },
    { SCAN_ITL, "Invalid Typelib", 184, nullptr, 1 },
    { SCAN_SRV, "Windows Services", 137, nullptr, 1 },
    { SCAN_SAE, "Sound & App Events", 186, nullptr, 1 },
};

namespace {

const char kRowGap[] = "        ";

} // namespace

int FindResultCategory(const CString& rowName)
{
    for (int index = 0; index < kRegistryCategoryCount; ++index) {
        if (rowName == kResultCategories[index].rowName)
            return index;
    }
    return -1;
}

int FindResultCategoryByBit(DWORD bit)
{
    for (int index = 0; index < kRegistryCategoryCount; ++index) {
        if (kResultCategories[index].bit == bit)
            return index;
    }
    return -1;
}

CString CategoryNameOfRowText(const CString& rowText)
{
    const int bracket = rowText.Find('[');
    CString name = bracket < 0 ? rowText : rowText.Left(bracket);
    return name.Trim();
}

CString CategoryRowText(const CString& name, int count)
{
    CString text;
    text.Format("%s%s[%d]", name.GetString(), kRowGap, count);
    return text;
}

CString CategoryRowLabel(const CString& name, int count)
{
    CString text;
    text.Format("%s%s[%d Error(s)]", name.GetString(), kRowGap, count);
    return text;
}

CString CleanDescription(const CString& description)
{
    CString text = description;
    text.Replace("Description :", "");
    return text.Trim();
}

CString LoadCategoryDescription(int index)
{
    if (index < 0 || index >= kRegistryCategoryCount)
        return CString();
    const RESULT_CATEGORY_INFO& category = kResultCategories[index];
    if (!category.descriptionString)
        return category.description;
    char text[1024] = {};
    ::LoadStringA(AfxGetResourceHandle(), static_cast<UINT>(category.descriptionString), text, sizeof(text));
    return text;
}

void CountIgnoredPerCategory(const std::map<CString, int>& displayList, int counts[kRegistryCategoryCount])
{
    for (int index = 0; index < kRegistryCategoryCount; ++index)
        counts[index] = 0;
    // An entry ignored under several labels or texts counts once, under the first category of
    // the table that holds it.
    const CItemLocation locations;
    std::map<std::string, int> firstCategory;
    for (const auto& entry : displayList) {
        CString item, label;
        SplitIgnoreKey(entry.first, &item, &label);
        const int index = FindResultCategory(label.Trim());
        if (index < 0)
            continue;
        const std::string identity = locations.IdentityOf(item, static_cast<int>(kResultCategories[index].bit));
        const auto known = firstCategory.insert(std::make_pair(identity, index));
        if (!known.second && index < known.first->second)
            known.first->second = index;
    }
    for (const auto& entry : firstCategory)
        ++counts[entry.second];
}

CString ExclusionKey(const CString& item, const CString& categoryName)
{
    return item + "^" + categoryName;
}
