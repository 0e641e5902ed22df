// A found-item container holding a fixed list of items, each with its category and the answer the
// program's container gives for it (FALSE: repair it; ITEM_KEPT, ITEM_NEXT_TO_KEPT, ...), for the
// engine's cursor walks.
#pragma once

#include <string>
#include <vector>

#include "VexaEngine.h"

class CFakeScanItems : public CAbstractScanItemsInfo
{
public:
    struct Item {
        std::string text;
        BOOL kept = FALSE;
        int category = SCAN_FPR;
    };
    explicit CFakeScanItems(std::vector<Item> items) : m_items(std::move(items)) {}

    BOOL MoveFirst() override
    {
        m_current = 0;
        return !m_items.empty();
    }
    BOOL MoveNext() override { return ++m_current < m_items.size(); }
    const char* GetCurrentItem() override { return m_items.at(m_current).text.c_str(); }
    BOOL IsCurrentItemIgnored() override { return m_items.at(m_current).kept; }
    int GetCurrentCategory() override { return m_items.at(m_current).category; }

    void Clear() override {}
    int AddItem(CString, int, int, INT_PTR) override { return 0; }
    BOOL HasCategory(int) override { return FALSE; }
    int GetSpywareId(const char*) override { return 0; }
    int CountCategory(int) override { return 0; }
    DWORD GetFoundCategories() override { return 0; }
    BOOL GetItems(std::vector<const char*>*, int) override { return FALSE; }
    void SetIgnore(const char*, int, int) override {}
    void SetSaveIgnored(int) override {}
    int LoadIgnoreList() override { return 0; }
    int AppendIgnoredToFile() override { return 0; }
    int Reserved() override { return 0; }
    void GetSpywareInfo(int, _SPYWARE_INFORMATION*) override {}
    int GetIgnoreList(std::map<CString, int>*) override { return 0; }
    int LoadIgnoreListForDisplay() override { return 0; }
    int SaveIgnoreList(const std::map<CString, int>*) override { return 0; }
    int WriteScanLog() override { return 0; }
    BOOL IsSpywareIgnored(CString, int, const _SPYWARE_INFORMATION*) override { return FALSE; }
    int AddToIgnoreList(CString, CString, int, int) override { return 0; }
    int GetIgnoreRecycleBin() override { return 0; }
    int GetIgnoreTempFiles() override { return 0; }

private:
    std::vector<Item> m_items;
    size_t m_current = 0;
};
