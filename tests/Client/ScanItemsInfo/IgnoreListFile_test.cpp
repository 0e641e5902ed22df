// The rules of "IgnoreList.dat": which records a text yields, and that whatever the program
// writes reads back as the same item, label and number.
#include <gtest/gtest.h>

#include "IgnoreListFile.h"
#include "TempFolder.h"

namespace {

struct ParseCase {
    const char* text;
    std::vector<std::vector<std::string>> expected;  // item, label, number
};

std::vector<std::vector<std::string>> AsRows(const std::vector<IGNORE_LIST_RECORD>& records)
{
    std::vector<std::vector<std::string>> rows;
    for (const IGNORE_LIST_RECORD& record : records)
        rows.push_back({record.Item.Str(), record.Category.Str(), std::to_string(record.Number)});
    return rows;
}

} // namespace

TEST(IgnoreListFile, ParsesRecordsAsOlderFilesWroteThem)
{
    const ParseCase cases[] = {
        {"x^ActiveX Objects^0;y^Windows Fonts^3;", {{"x", "ActiveX Objects", "0"}, {"y", "Windows Fonts", "3"}}},
        // The last record lacks its ';' (a write cut short): it is read all the same.
        {"x^ActiveX Objects^0;y^Windows Fonts^3", {{"x", "ActiveX Objects", "0"}, {"y", "Windows Fonts", "3"}}},
        // An empty record ends nothing: what follows it is read; "a" alone has no item.
        {"a;;b^c^1;", {{"b", "c", "1"}}},
        {"alpha^L^0;;beta^L^0; ;gamma^L^0;", {{"alpha", "L", "0"}, {"beta", "L", "0"}, {"gamma", "L", "0"}}},
        {"^Windows Fonts^1;z^Temp Files^2;", {{"", "Windows Fonts", "1"}, {"z", "Temp Files", "2"}}},
        {"a^7;", {{"a", "", "7"}}},
        {"a^b^x7;", {{"a", "b", "0"}}},
        // Line ends as the text-mode writers leave them, and stray white space.
        {"  p^Shared DLLs^1;\r\r\n q^Shared DLLs^2 ;\r\r\n", {{"p", "Shared DLLs", "1"}, {"q", "Shared DLLs", "2"}}},
        // An item holding '^' in a file written without escapes: the number and label are the
        // last two fields, the rest is the item.
        {"C:\\a^b.tmp^Temp Files^4;", {{"C:\\a^b.tmp", "Temp Files", "4"}}},
        // Without the marker, escape-like text is the item's own.
        {"C:\\100%5E.txt^Temp Files^0;", {{"C:\\100%5E.txt", "Temp Files", "0"}}},
        {"", {}},
    };
    for (const ParseCase& test : cases)
        EXPECT_EQ(AsRows(CIgnoreListFile::Parse(test.text)), test.expected) << "text: " << test.text;
}

TEST(IgnoreListFile, EscapesOnlyAfterTheMarker)
{
    const CString text = CString("old%3Bone^L^1;") + CIgnoreListFile::FormatMarker() + "new%3Bone^L^2;";
    EXPECT_EQ(AsRows(CIgnoreListFile::Parse(text)),
              (std::vector<std::vector<std::string>>{{"old%3Bone", "L", "1"}, {"new;one", "L", "2"}}));
}

TEST(IgnoreListFile, WrittenRecordsReadBackWhateverTheItemHolds)
{
    const std::string longItem = "HKEY_LOCAL_MACHINE\\Software\\" + std::string(5000, 'k') + "\xAC" + "value";
    const char* items[] = {
        "HKEY_CURRENT_USER\\Software\\A^B\\C",
        "C:\\Temp\\one;two.tmp",
        "C:\\Temp\\;^;^",
        "C:\\100%\\%5E%3B%25",
        "  leading and trailing spaces  ",
        "line\r\nbreak\tand tab",
        "HKEY_CLASSES_ROOT\\.txt\xAC(Default)",
        "",  // an empty item is written but never read back as an entry
    };
    CString text = CIgnoreListFile::FormatMarker();
    std::vector<std::vector<std::string>> expected;
    int number = 0;
    for (const char* item : items) {
        text += CIgnoreListFile::FormatRecord(CString(item) + "^" + "Program Shortcuts", number);
        expected.push_back({item, "Program Shortcuts", std::to_string(number)});
        ++number;
    }
    text += CIgnoreListFile::FormatRecord(CString(longItem) + "^File Path Refferences", 42);
    expected.push_back({longItem, "File Path Refferences", "42"});
    // A key without '^' is an item without a label, as it always was.
    text += CIgnoreListFile::FormatRecord("no label", 5);
    expected.push_back({"no label", "", "5"});

    EXPECT_EQ(AsRows(CIgnoreListFile::Parse(text)), expected);
}

TEST(IgnoreListFile, AFileReadsAsItsWholeTextParses)
{
    // Older records (an item holding "^"), then escaped ones, long enough that records cross the
    // reader's blocks, and a last record without its ';'.
    CString text = "old^name^Windows Fonts^1;\r\r\n;;plain^ActiveX Objects^2;";
    text += CIgnoreListFile::FormatMarker();
    const CString padding(std::string(3000, 'x').c_str());
    for (int i = 0; i < 400; ++i)
        text += CIgnoreListFile::FormatRecord(
            AfxFormatString("HKEY_CLASSES_ROOT\\CLSID\\{%08d}; a^b %%", i) + padding + "^ActiveX Objects", i);
    text += "last^Windows Fonts^7";
    CTempFolder folder;
    const std::string path = folder.WriteFile("IgnoreList.dat", text.Str());

    std::vector<IGNORE_LIST_RECORD> read;
    ASSERT_TRUE(CIgnoreListFile::ReadRecords(path.c_str(), [&read](IGNORE_LIST_RECORD& record) { read.push_back(record); }));
    const std::vector<IGNORE_LIST_RECORD> parsed = CIgnoreListFile::Parse(text);
    ASSERT_EQ(403u, parsed.size());
    EXPECT_EQ(AsRows(parsed), AsRows(read));
    EXPECT_EQ(CString("HKEY_CLASSES_ROOT\\CLSID\\{00000399}; a^b %") + padding, read[401].Item);
    EXPECT_EQ("last", read.back().Item);

    // A missing file has no records; a folder in its place cannot be read.
    int visited = 0;
    EXPECT_TRUE(CIgnoreListFile::ReadRecords(folder.PathOf("none.dat").c_str(), [&](IGNORE_LIST_RECORD&) { ++visited; }));
    EXPECT_FALSE(CIgnoreListFile::ReadRecords(folder.MakeFolder("dir").c_str(), [&](IGNORE_LIST_RECORD&) { ++visited; }));
    EXPECT_EQ(0, visited);
}
