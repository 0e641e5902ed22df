// The spyware record and the queries on its items.
#include <gtest/gtest.h>

#include <climits>

#include "Spyware.h"

namespace {

_SPYWARE_INFORMATION MakeRecord(std::vector<_SPYWARE_ITEM> items)
{
    _SPYWARE_INFORMATION record;
    record.ID = 77;
    record.Type = 3;
    record.Name = "Toolbar";
    record.Details = "Shows adverts";
    record.ExtraText = "extra";
    record.ExtraValue = -4;
    record.Items = items;
    return record;
}

std::vector<std::string> ValuesOf(const CSpyware& spyware, int type, BOOL* found = nullptr)
{
    std::vector<CString> values;
    const BOOL result = spyware.GetItemValues(type, &values);
    if (found)
        *found = result;
    std::vector<std::string> texts;
    for (const CString& value : values)
        texts.push_back(value.Str());
    return texts;
}

} // namespace

TEST(Spyware, CopiesKeepEveryField)
{
    const _SPYWARE_INFORMATION original = MakeRecord({{8, "a.exe"}, {5, "HKEY_CURRENT_USER\\Software\\T"}});
    CSpyware spyware(original);
    _SPYWARE_INFORMATION back = spyware.GetInformation();
    EXPECT_EQ(back.ID, 77);
    EXPECT_EQ(back.Type, 3);
    EXPECT_EQ(back.Name, "Toolbar");
    EXPECT_EQ(back.Details, "Shows adverts");
    EXPECT_EQ(back.ExtraText, "extra");
    EXPECT_EQ(back.ExtraValue, -4);
    ASSERT_EQ(back.Items.size(), 2u);
    EXPECT_EQ(back.Items[1].Type, 5);
    EXPECT_EQ(back.Items[1].Value, "HKEY_CURRENT_USER\\Software\\T");

    CSpyware other(MakeRecord({}));
    other.SetInformation(back);
    EXPECT_EQ(other.GetInformation().Items.size(), 2u);
    EXPECT_STREQ(other.FindItemValue(8), "a.exe");
    EXPECT_EQ(other.FindItemValue(2), nullptr);

    other.SetExtraText(nullptr);
    EXPECT_STREQ(other.GetExtraText(), "");
}

TEST(Spyware, ItemValuesSplitAtSemicolons)
{
    struct Case {
        const char* value;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a.exe; b.dll ;c.sys", {"a.exe", "b.dll", "c.sys"}},
        {"  single.exe  ", {"single.exe"}},
        {"x", {}},
        {"first;x", {"first"}},
        {"first;xy", {"first", "xy"}},
        // Two separators in a row: the rest is kept whole, its ';' included.
        {"a.exe;;b.exe", {"a.exe", ";b.exe"}},
        {";lead", {";lead"}},
        // Pieces of white space only name nothing.
        {"a.exe;   ;b.exe", {"a.exe", "b.exe"}},
    };
    for (const Case& test : cases) {
        CSpyware spyware(MakeRecord({{8, test.value}}));
        BOOL found = FALSE;
        EXPECT_EQ(ValuesOf(spyware, 8, &found), test.expected) << test.value;
        EXPECT_EQ(found != FALSE, !test.expected.empty()) << test.value;
    }
}

TEST(Spyware, ItemValuesComeFromTheFirstItemWithAValue)
{
    CSpyware spyware(MakeRecord({{7, ""}, {7, "C:\\one;C:\\two"}, {7, "C:\\three"}, {2, ""}}));
    EXPECT_EQ(ValuesOf(spyware, 7), (std::vector<std::string>{"C:\\one", "C:\\two"}));
    BOOL found = TRUE;
    EXPECT_TRUE(ValuesOf(spyware, 2, &found).empty());
    EXPECT_FALSE(found);
    EXPECT_FALSE(spyware.GetItemValues(7, nullptr));
}

TEST(Spyware, CategoryOfEveryType)
{
    EXPECT_EQ(CSpyware::CategoryOfType(1), 0x1u);
    EXPECT_EQ(CSpyware::CategoryOfType(15), 0x4000u);
    EXPECT_EQ(CSpyware::CategoryOfType(32), 0x80000000u);
    EXPECT_EQ(CSpyware::CategoryOfType(33), 0x1u);
    EXPECT_EQ(CSpyware::CategoryOfType(0), 0x80000000u);
    EXPECT_EQ(CSpyware::CategoryOfType(-31), 0x1u);
    EXPECT_EQ(CSpyware::CategoryOfType(LONG_MIN), CSpyware::CategoryOfType(LONG_MIN % 32 + 32));
    CSpyware spyware(MakeRecord({}));
    EXPECT_EQ(spyware.GetCategory(), 0x4u);
}
