#include <gtest/gtest.h>

#include "AfxFile.h"
#include "AfxFileFind.h"
#include "AfxTime.h"
#include "TempFolder.h"

TEST(CStdioFile, ReadsLinesOfAnyLengthWithControlBytes)
{
    CTempFolder folder;
    const std::string longLine(100000, 'x');
    const std::string path = folder.WriteFile("lines.txt", "first\r\n" + longLine + "\nwith\x1A" "eof byte\r\n\r\nlast");
    CStdioFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::typeText));
    CString line;
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "first");
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line.GetLength(), 100000);
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "with\x1A" "eof byte");
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(file.ReadString(line));
}

TEST(CStdioFile, BinaryModeKeepsCarriageReturns)
{
    CTempFolder folder;
    const std::string path = folder.WriteFile("bin.txt", "a\r\nb\n");
    CStdioFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::typeBinary));
    CString line;
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "a\r");
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "b");
    EXPECT_FALSE(file.ReadString(line));
}

TEST(CStdioFile, TextModeWritesCrLfAndFlushesOnClose)
{
    CTempFolder folder;
    const std::string path = folder.PathOf("out.txt");
    {
        CStdioFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        EXPECT_TRUE(file.WriteString("one\ntwo\n"));
    }
    EXPECT_EQ(ReadWholeFile(path), "one\r\ntwo\r\n");
}

TEST(CFile, OpenFailureLeavesTheObjectClosed)
{
    CFile file;
    EXPECT_FALSE(file.Open("C:\\no\\such\\folder\\file.bin", CFile::modeRead));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Read(nullptr, 0), 0u);
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_FALSE(file.Open("", CFile::modeRead));
}

TEST(CFile, WriteSeekAndLength)
{
    CTempFolder folder;
    const std::string path = folder.PathOf("data.bin");
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite));
    ASSERT_TRUE(file.Write("0123456789", 10));
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.Seek(4, CFile::begin), 4u);
    char buffer[4] = {};
    EXPECT_EQ(file.Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer), "456");
    EXPECT_TRUE(file.SetLength(5));
    EXPECT_EQ(file.GetLength(), 5u);
}

TEST(CFileFind, ListsFilesAndFolders)
{
    CTempFolder folder;
    folder.WriteFile("a.tmp", "12345");
    folder.MakeFolder("sub");
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile((folder.Path() + "\\*.*").c_str()));
    std::map<std::string, bool> seen;
    BOOL more = TRUE;
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        seen[finder.GetFileName().GetString()] = finder.IsDirectory() != FALSE;
        if (!finder.IsDirectory()) {
            EXPECT_EQ(finder.GetLength(), 5u);
            EXPECT_EQ(std::string(finder.GetFilePath()), folder.PathOf("a.tmp"));
        }
    }
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_FALSE(seen["a.tmp"]);
    EXPECT_TRUE(seen["sub"]);
    EXPECT_FALSE(CFileFind().FindFile((folder.Path() + "\\none*").c_str()));
}

TEST(CTime, FormatsLocalTime)
{
    const CTime time(2027, 1, 3, 9, 5, 7);
    EXPECT_EQ(time.GetDay(), 3);
    EXPECT_EQ(time.GetMonth(), 1);
    EXPECT_EQ(time.GetYear(), 2027);
    EXPECT_EQ(time.Format("%d%m%Y_%H%M%S"), "03012027_090507");
    EXPECT_TRUE(CTime::GetCurrentTime().GetYear() >= 2024);
}
