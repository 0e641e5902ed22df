#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "AfxString.h"

TEST(CString, ExtractionClampsOutOfRangeArguments)
{
    const CString text("registry");
    EXPECT_EQ(text.Left(3), "reg");
    EXPECT_EQ(text.Left(-1), "");
    EXPECT_EQ(text.Left(100), "registry");
    EXPECT_EQ(text.Mid(3), "istry");
    EXPECT_EQ(text.Mid(3, 2), "is");
    EXPECT_EQ(text.Mid(-5, 3), "reg");
    EXPECT_EQ(text.Mid(8), "");
    EXPECT_EQ(text.Mid(50, 2), "");
    EXPECT_EQ(text.Mid(6, 50), "ry");
    EXPECT_EQ(text.Right(3), "try");
    EXPECT_EQ(text.Right(0), "");
    EXPECT_EQ(text.Right(99), "registry");
}

TEST(CString, FindAndReverseFind)
{
    const CString path("C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(path.Find('\\'), 2);
    EXPECT_EQ(path.Find('\\', 3), 16);
    EXPECT_EQ(path.ReverseFind('\\'), 20);
    EXPECT_EQ(path.Find("App"), 17);
    EXPECT_EQ(path.Find(".exe"), 24);
    EXPECT_EQ(path.Find("missing"), -1);
    EXPECT_EQ(path.Find('x', 100), -1);
    EXPECT_EQ(path.FindOneOf("/\\"), 2);
    EXPECT_EQ(CString().ReverseFind('a'), -1);
}

TEST(CString, TrimWithCharacterSets)
{
    CString text("  \t value \r\n");
    EXPECT_EQ(text.Trim(), "value");
    CString quoted("\"C:\\app.exe\"");
    EXPECT_EQ(quoted.Trim('"'), "C:\\app.exe");
    CString mixed("\\\\path\\/");
    EXPECT_EQ(mixed.TrimRight("\\/"), "\\\\path");
    EXPECT_EQ(mixed.TrimLeft("\\"), "path");
    CString allTrimmed("xxxx");
    EXPECT_EQ(allTrimmed.Trim('x'), "");
}

TEST(CString, CaseAndComparison)
{
    CString text("HKEY_Local_MACHINE");
    EXPECT_EQ(CString(text).MakeLower(), "hkey_local_machine");
    EXPECT_EQ(CString(text).MakeUpper(), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(text.CompareNoCase("hkey_local_machine"), 0);
    EXPECT_NE(text.Compare("hkey_local_machine"), 0);
    EXPECT_LT(CString("a").CompareNoCase("B"), 0);
}

TEST(CString, ReplaceRemoveInsertDelete)
{
    CString text("a;b;;c");
    EXPECT_EQ(text.Replace(";", "<br>"), 3);
    EXPECT_EQ(text, "a<br>b<br><br>c");
    EXPECT_EQ(text.Replace("", "x"), 0);
    CString chars("a-b-c");
    EXPECT_EQ(chars.Replace('-', '+'), 2);
    EXPECT_EQ(chars, "a+b+c");
    EXPECT_EQ(chars.Remove('+'), 2);
    EXPECT_EQ(chars, "abc");
    chars.Insert(1, "XY");
    EXPECT_EQ(chars, "aXYbc");
    chars.Insert(100, '!');
    EXPECT_EQ(chars, "aXYbc!");
    chars.Delete(1, 2);
    EXPECT_EQ(chars, "abc!");
    chars.Delete(2, 100);
    EXPECT_EQ(chars, "ab");
}

TEST(CString, FormatUsesTheMicrosoftRuntime)
{
    CString text;
    text.Format("%02d%02d%04d_%s", 3, 1, 2027, "FULL");
    EXPECT_EQ(text, "03012027_FULL");
    text.Format("%.0fKB", 1023.4);
    EXPECT_EQ(text, "1023KB");
    text.Format("%.2fGB", 1048577.0 / 1048576.0);
    EXPECT_EQ(text, "1.00GB");
    text.Format("%I64d", static_cast<long long>(1) << 40);
    EXPECT_EQ(text, "1099511627776");
    // Long results are not truncated.
    text.Format("%s%s", std::string(5000, 'a').c_str(), "end");
    EXPECT_EQ(text.GetLength(), 5003);
    EXPECT_EQ(text.Right(3), "end");
    text.AppendFormat("%d", 7);
    EXPECT_EQ(text.Right(4), "end7");
}

TEST(CString, GetBufferAndReleaseBuffer)
{
    CString text("abc");
    char* buffer = text.GetBuffer(260);
    std::strcpy(buffer, "C:\\windows\\system32");
    text.ReleaseBuffer();
    EXPECT_EQ(text, "C:\\windows\\system32");
    EXPECT_EQ(text.GetLength(), 19);
    buffer = text.GetBuffer(0);
    buffer[3] = '\0';
    text.ReleaseBuffer(-1);
    EXPECT_EQ(text, "C:\\");
    text.GetBufferSetLength(2);
    text.ReleaseBuffer(100);
    EXPECT_EQ(text, "C:");
}

TEST(CString, WorksAsAnOrderedKey)
{
    std::set<CString> folders = {"c:\\b", "C:", "c:\\a", "C:"};
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(*folders.begin(), "C:");
    std::map<CString, int> counts;
    counts["x"] += 2;
    EXPECT_EQ(counts["x"], 2);
}

TEST(CString, EmbeddedSelfAssignmentIsSafe)
{
    CString text("hello world");
    text = text.GetString() + 6;
    EXPECT_EQ(text, "world");
    text = static_cast<const char*>(nullptr);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(CString, DoubleByteTrailBytesNeverMatch)
{
    // Only meaningful where the system code page has lead bytes (Japanese 932 and the like).
    if (!::IsDBCSLeadByte(static_cast<BYTE>('\x83')))
        GTEST_SKIP() << "single-byte code page";
    // 0x83 0x5C is one character whose trail byte equals '\\'.
    const CString text("dir\\\x83\x5C.txt");
    EXPECT_EQ(text.ReverseFind('\\'), 3);
    EXPECT_EQ(text.Find('\\', 4), -1);
}
