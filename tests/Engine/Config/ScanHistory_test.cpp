#include <gtest/gtest.h>

#include "Config/ScanHistory.h"

TEST(ScanHistory, ItemsComeBackInInsertionOrder)
{
    CScanHistory history;
    ASSERT_EQ(history.Create("history.xml"), 1);
    _SCAN_HISTORY_ITEM first;
    first.Title = "Broken <link> & \"quote\"";
    first.ItemPath = "c:\\users\\a\\link.lnk";
    first.DateTime = "08.12.2026 21:00";
    first.Type = 0x8000;
    first.Status = 2;
    history.AddItem(first);
    history.AddItem("Second", -1, "HKEY_CURRENT_USER\\Software\\X", "", 0);

    std::vector<_SCAN_HISTORY_ITEM>* items = history.GetItems();
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ(std::string((*items)[0].Title), "Broken <link> & \"quote\"");
    EXPECT_EQ(std::string((*items)[0].ItemPath), "c:\\users\\a\\link.lnk");
    EXPECT_EQ(std::string((*items)[0].DateTime), "08.12.2026 21:00");
    EXPECT_EQ((*items)[0].Type, 0x8000);
    EXPECT_EQ((*items)[0].Status, 2);
    EXPECT_EQ(std::string((*items)[1].Title), "Second");
    EXPECT_EQ((*items)[1].Type, -1);
    EXPECT_EQ(std::string((*items)[1].DateTime), "");
    // A second reading gives the same list, not twice as many.
    EXPECT_EQ(history.GetItems()->size(), 2u);
}

TEST(ScanHistory, NothingIsStoredBeforeCreateAndCreateStartsAfresh)
{
    CScanHistory history;
    history.AddItem("Lost", 1, "c:\\x", "", 0);
    EXPECT_EQ(history.GetItems(), nullptr);
    ASSERT_EQ(history.Create("a.xml"), 1);
    EXPECT_TRUE(history.GetItems()->empty());
    history.AddItem("Kept", 1, "c:\\x", "", 0);
    ASSERT_EQ(history.Create("b.xml"), 1);
    EXPECT_TRUE(history.GetItems()->empty());
}
