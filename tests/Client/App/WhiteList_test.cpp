// The white list's reader: which records a file yields (duplicates and odd records included), and
// a file of many records read whole through the program's own path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "WhiteList.h"

namespace {

std::vector<std::string> RecordsOf(const CWhiteList& list)
{
    std::vector<std::string> records;
    for (const CString& record : list.GetRecords())
        records.push_back(record.GetString());
    return records;
}

} // namespace

TEST(WhiteListReaderTest, YieldsEachRecordInFileOrderUpToTheFirstEmptyOne)
{
    const struct { const char* file; std::vector<std::string> records; } rows[] = {
        { "Adobe;adobe;ADOBE;", { "adobe", "adobe", "adobe" } },           // duplicates stay
        { " Tray \t;\r\nother;\r\n", { "tray", "other" } },                 // trimmed, line ends too
        { "one;two", { "one" } },                                          // no ";": not a record
        { "one;  ;two;", { "one" } },                                      // a blank record ends it
        { ";one;", {} },
        { "a b;c\xE9;", { "a b", "c\xE9" } },
        { "", {} },
    };
    for (const auto& row : rows) {
        CWhiteList list;
        list.Parse(row.file);
        EXPECT_EQ(row.records, RecordsOf(list)) << row.file;
    }
}

TEST(WhiteListReaderTest, AFileOfManyRecordsIsReadWhole)
{
    CTempFolder temp;
    std::string file;
    const int records = 40000;
    for (int i = 0; i < records; ++i)
        file += "C:\\Program Files\\Vendor " + std::to_string(i % 20000) + "\\;\r\n";
    const std::string path = temp.WriteFile("WhileList.dat", file);
    CWhiteList list;
    list.Load(path.c_str());
    ASSERT_EQ(static_cast<size_t>(records), list.GetCount());
    EXPECT_EQ("c:\\program files\\vendor 19999\\", std::string(list.GetRecords().back().GetString()));
    EXPECT_TRUE(list.IsListed("C:\\PROGRAM FILES\\VENDOR 19999\\tool.exe"));
    EXPECT_FALSE(list.IsListed("C:\\Program Files\\Vendor 20000\\tool.exe"));
}
