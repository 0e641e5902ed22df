// Broken shortcuts, temporary files and the Recycle Bin, on fixture trees of real files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "ScannerHarness.h"
#include "Shortcuts.h"
#include "TempFolder.h"
#include "VexaEngine.h"

namespace {

// A shortcut to a file that existed when it was made and is gone now.
std::string WriteBrokenShortcut(const CTempFolder& folder, const std::string& relative)
{
    const std::string target = folder.WriteFile("gone_" + std::to_string(::GetTickCount()) + ".txt", "x");
    const std::string path = folder.PathOf(relative);
    folder.MakeFolder(relative.substr(0, relative.find_last_of('\\') + 1));
    EXPECT_TRUE(WriteShortcut(path, target));
    ::DeleteFileA(target.c_str());
    return path;
}

std::string PaddedCopy(const CTempFolder& folder, const std::string& source, const std::string& relative, size_t size)
{
    std::string contents = ReadWholeFile(source);
    contents.resize(size, '\0');
    return folder.WriteFile(relative, contents);
}

} // namespace

TEST(ShortcutScan, ReportsExactlyTheReadableShortcutsWhoseTargetIsGone)
{
    CTempFolder folder;
    const std::string target = folder.WriteFile("target.txt", "target");
    folder.MakeFolder("targetdir");
    ASSERT_TRUE(WriteShortcut(folder.PathOf("good.lnk"), target));
    ASSERT_TRUE(WriteShortcut(folder.PathOf("folder.lnk"), folder.PathOf("targetdir")));
    const std::string broken = WriteBrokenShortcut(folder, "broken.lnk");
    const std::string deep = WriteBrokenShortcut(folder, "sub\\deep\\BROKEN.LNK");
    folder.WriteFile("empty.lnk", "");
    folder.WriteFile("corrupt.lnk", std::string(64, 'z'));
    folder.WriteFile(".lnk", ReadWholeFile(broken));
    folder.WriteFile("broken.lnk.txt", ReadWholeFile(broken));
    const std::string largest = PaddedCopy(folder, broken, "pad4096.lnk", 4096);
    PaddedCopy(folder, broken, "pad4097.lnk", 4097);

    CScannerHarness scanner;
    EXPECT_EQ(scanner.ScanFolder(folder.Path().c_str(), 1), 1);

    const std::vector<std::string> expected = {broken, largest, deep};
    std::vector<std::string> sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    EXPECT_EQ(scanner.SortedFindings(SCAN_SRC), sortedExpected);
    EXPECT_TRUE(scanner.Findings(SCAN_TPF).empty());
}

TEST(ShortcutScan, FolderTextWithBlanksAndTrailingBackslashesIsWalkedAsItsFolder)
{
    CTempFolder folder;
    const std::string broken = WriteBrokenShortcut(folder, "a\\broken.lnk");

    CScannerHarness scanner;
    scanner.ScanFolder(("  " + folder.Path() + "\\\\ ").c_str(), 1);
    EXPECT_EQ(scanner.Findings(SCAN_SRC), std::vector<std::string>{broken});
}

TEST(ShortcutScan, ShortcutsThatCannotBeJudgedAreNeverCalledBroken)
{
    CTempFolder folder;
    const std::string broken = WriteBrokenShortcut(folder, "broken.lnk");
    const std::string corrupt = folder.WriteFile("corrupt.lnk", std::string(200, '\x4c'));
    const std::string truncated = folder.WriteFile("truncated.lnk", ReadWholeFile(broken).substr(0, 30));
    const std::string absent = folder.PathOf("absent.lnk");
    const std::string network = folder.PathOf("network.lnk");
    ASSERT_TRUE(WriteShortcut(network, "\\\\server\\share\\tool.exe"));

    CScannerHarness scanner;
    EXPECT_EQ(scanner.IsShortcutValid(broken.c_str()), 0);
    EXPECT_NE(scanner.IsShortcutValid(corrupt.c_str()), 0);
    EXPECT_NE(scanner.IsShortcutValid(truncated.c_str()), 0);
    EXPECT_NE(scanner.IsShortcutValid(absent.c_str()), 0);
    EXPECT_NE(scanner.IsShortcutValid(network.c_str()), 0);

    // A stop while a shortcut is checked leaves it unreported.
    scanner.SetRunning(false);
    EXPECT_NE(scanner.IsShortcutValid(broken.c_str()), 0);
}

// W: is mapped by the test set-up to a tree holding W:\tree\loop, a link to W:\tree. The
// fixture puts a broken shortcut into the tree and a good one at the root, and removes both.
class DriveFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        if (::GetFileAttributesA("W:\\tree\\loop") == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "drive W: is not mapped to the fixture tree";
        const std::string gone = "W:\\tree\\gone.txt";
        ASSERT_TRUE(::CopyFileA(scratch.WriteFile("gone.txt", "x").c_str(), gone.c_str(), FALSE));
        ASSERT_TRUE(WriteShortcut(kBroken, gone));
        ASSERT_TRUE(::DeleteFileA(gone.c_str()));
        ASSERT_TRUE(WriteShortcut(kGood, "W:\\tree"));
    }
    void TearDown() override
    {
        ::DeleteFileA(kBroken);
        ::DeleteFileA(kGood);
    }

    static constexpr const char* kBroken = "W:\\tree\\broken.lnk";
    static constexpr const char* kGood = "W:\\good.lnk";
    CTempFolder scratch;
};

TEST_F(DriveFixture, DriveRootWalkEndsAtLinksBackIntoTheTree)
{
    CScannerHarness scanner;
    scanner.ScanFolder("W:", 1);
    EXPECT_EQ(scanner.Findings(SCAN_SRC), std::vector<std::string>{kBroken});
}

TEST_F(DriveFixture, ScanJobWalksDriveRootsForShortcutsAndOtherFoldersForJunk)
{
    const std::string junk = scratch.WriteFile("junk\\a.tmp", std::string(2048, 'a'));
    const std::set<CString> folders = {"W:", scratch.PathOf("junk").c_str()};

    CVexaEngineProcess process(false);
    CRecordingStatus status;
    ASSERT_EQ(process.StartScan(&folders, SCAN_SRC | SCAN_TPF, &status, SCAN_MODE_NORMAL), 1);
    ASSERT_EQ(process.Resume(), 1);
    ASSERT_TRUE(status.WaitFinished());

    std::vector<std::string> shortcuts, junkFiles;
    for (const StatusEvent& item : status.EventsOf(StatusEvent::Item)) {
        if (item.number == SCAN_SRC)
            shortcuts.push_back(item.text);
        if (item.number == SCAN_TPF && item.value == 0 && item.text != ITEM_SIZE_TOTAL)
            junkFiles.push_back(item.text);
    }
    EXPECT_EQ(shortcuts, std::vector<std::string>{kBroken});
    EXPECT_EQ(junkFiles, std::vector<std::string>{junk});
    const auto items = status.EventsOf(StatusEvent::Item);
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[items.size() - 2].text, "2KB");
    EXPECT_EQ(items[items.size() - 2].value, -1);
    EXPECT_EQ(items.back().text, ITEM_SIZE_TOTAL);
    EXPECT_EQ(items.back().value, 2);
}

TEST(JunkScan, ReportsDeletableFilesAndAddsTheirSizes)
{
    CTempFolder folder;
    const std::string a = folder.WriteFile("a.tmp", std::string(2048, 'a'));
    const std::string b = folder.WriteFile("sub\\b.tmp", std::string(1000, 'b'));
    const std::string readOnly = folder.WriteFile("ro.tmp", std::string(5000, 'r'));
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string locked = folder.WriteFile("locked.tmp", std::string(7000, 'l'));
    HANDLE lock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    folder.MakeFolder("emptydir");

    CScannerHarness scanner;
    scanner.ScanFolder(folder.Path().c_str(), 0);
    ::CloseHandle(lock);
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    std::vector<std::string> expected = {a, b};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(scanner.SortedFindings(SCAN_TPF), expected);
    EXPECT_DOUBLE_EQ(scanner.JunkKilobytes(), 3048 / 1024.0);
    EXPECT_TRUE(scanner.Findings(SCAN_SRC).empty());
    for (const StatusEvent& item : scanner.status.EventsOf(StatusEvent::Item))
        EXPECT_EQ(item.value, 0) << "no size row before 500 entries: " << item.text;
}

TEST(JunkScan, LongWalksFollowEachFileWithTheRunningSize)
{
    CTempFolder folder;
    folder.WriteFile("one.tmp", std::string(3 * 1024, '1'));
    folder.WriteFile("two.tmp", std::string(1024 * 1024, '2'));

    CScannerHarness scanner;
    scanner.SetActivityCounter(600);
    scanner.ScanFolder(folder.Path().c_str(), 0);

    const auto items = scanner.status.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].value, 0);
    EXPECT_EQ(items[1].value, -1);
    EXPECT_EQ(items[1].number, SCAN_TPF);
    EXPECT_EQ(items[3].value, -1);
    // Sizes run up: the second row holds both files.
    const std::string smaller = items[0].text.find("one") != std::string::npos ? "3KB" : "1024KB";
    EXPECT_EQ(items[1].text, smaller);
    EXPECT_EQ(items[3].text, "1MB");  // 1027 KB
}

TEST(JunkScan, StoppedScanWalksNothing)
{
    CTempFolder folder;
    folder.WriteFile("a.tmp", "a");
    CScannerHarness scanner;
    scanner.SetRunning(false);
    EXPECT_EQ(scanner.ScanFolder(folder.Path().c_str(), 0), 1);
    EXPECT_TRUE(scanner.status.Events().empty());
}

TEST(RecycleBinScan, ReportsTheSizeOfWhatWasDeletedToTheBin)
{
    CTempFolder folder;
    const std::string file = folder.WriteFile("binned.txt", std::string(3000, 'r'));
    std::string from = file;
    from.push_back('\0');
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(::SHFileOperationA(&operation), 0);

    CScannerHarness scanner;
    scanner.ScanRecycleBin();
    const auto items = scanner.status.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].number, SCAN_RCB);
    EXPECT_EQ(items[0].value, -1);
    EXPECT_GE(scanner.RecycleBinKilobytes(), 3000 / 1024.0);
    EXPECT_EQ(items[0].text, std::string(scanner.SizeText(scanner.RecycleBinKilobytes())));
}
