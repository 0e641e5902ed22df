// What a repair removed, as the program finds it afterwards, and where the scan log goes.
#include <gtest/gtest.h>

#include "RegistrySandbox.h"
#include "RepairOutcome.h"
#include "ScanItemsInfo.h"
#include "ScanResultDlg.h"
#include "TempFolder.h"

TEST(RepairOutcome, OnlyWhatIsSurelyGoneCountsAsCleaned)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Kept", "Value", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Kept", "", "default"));
    const std::string shortcut = folder.WriteFile("kept.lnk", "x");
    const struct { std::string item; DWORD category; BOOL gone; } rows[] = {
        { "HKEY_CURRENT_USER\\Software\\Kept", SCAN_AXO, FALSE },
        { "hkey_current_user\\SOFTWARE\\KEPT", SCAN_AXO, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Gone", SCAN_AXO, TRUE },
        { "HKEY_CURRENT_USER\\Software\\Gone\\Deeper", SCAN_ERK, TRUE },
        { "HKEY_CURRENT_USER\\Software\\Kept\xAC" "Value", SCAN_SUI, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Kept\xAC" "Other", SCAN_SUI, TRUE },
        { "HKEY_CURRENT_USER\\Software\\Kept\xAC", SCAN_SUI, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Gone\xAC" "Value", SCAN_FNT, TRUE },
        // Texts that name nothing the registry could have removed.
        { "HKEY_CURRENT_USER", SCAN_AXO, FALSE },
        { "HKEY_NOWHERE\\Software\\Gone", SCAN_AXO, FALSE },
        { "Software\\Gone", SCAN_AXO, FALSE },
        { "HKEY_CURRENT_USER\\\xAC" "Value", SCAN_SUI, FALSE },
        // Shortcuts are files.
        { shortcut, SCAN_SRC, FALSE },
        { folder.PathOf("gone.lnk"), SCAN_SRC, TRUE },
        { folder.PathOf("no folder\\gone.lnk"), SCAN_SRC, TRUE },
        { "", SCAN_SRC, FALSE },
    };
    CRepairOutcome outcome;
    for (const auto& row : rows)
        EXPECT_EQ(row.gone, outcome.IsGone(row.item.c_str(), row.category)) << row.item;

    const std::map<CString, int> gone = outcome.CountGone(
        { { "ActiveX Objects", { "HKEY_CURRENT_USER\\Software\\Kept", "HKEY_CURRENT_USER\\Software\\Gone" } },
          { "Windows Startup Items", { "HKEY_CURRENT_USER\\Software\\Kept\xAC" "Other", "HKEY_CURRENT_USER\\X" } },
          { "Not a category", { "HKEY_CURRENT_USER\\Software\\Gone" } } });
    EXPECT_EQ((std::map<CString, int>{ { "ActiveX Objects", 1 }, { "Windows Startup Items", 2 } }), gone);
}

TEST(ScanLog, GoesBesideTheProgramOrIntoTheUsersFolderOrFails)
{
    CTempFolder folder;
    struct Row { bool programBlocked; bool otherBlocked; const char* writtenUnder; };
    const Row rows[] = {
        { false, false, "program\\Scan Logs\\" },
        { true, false, "user\\Scan Logs\\" },
        { true, true, nullptr },
    };
    int index = 0;
    for (const Row& row : rows) {
        const std::string base = folder.MakeFolder("case" + std::to_string(index++));
        const std::string program = base + "\\program";
        const std::string user = base + "\\user";
        ::CreateDirectoryA(program.c_str(), nullptr);
        ::CreateDirectoryA(user.c_str(), nullptr);
        // A file where the log folder belongs: nothing can be written into it.
        if (row.programBlocked)
            folder.WriteFile(program.substr(folder.Path().size() + 1) + "\\Scan Logs", "");
        if (row.otherBlocked)
            folder.WriteFile(user.substr(folder.Path().size() + 1) + "\\Scan Logs", "");
        CScanItemsInfo items((program + "\\").c_str());
        items.AddItem("HKEY_CURRENT_USER\\Software\\Found", SCAN_AXO, 0, 0);
        CString path;
        const BOOL written = CScanResultDlg::WriteScanLog(&items, user.c_str(), &path);
        EXPECT_EQ(row.writtenUnder != nullptr, written != FALSE) << index;
        if (!row.writtenUnder)
            continue;
        const std::string expected = base + "\\" + row.writtenUnder;
        EXPECT_EQ(expected, std::string(path.Left(static_cast<int>(expected.size())))) << index;
        EXPECT_NE(std::string::npos, ReadWholeFile(path.GetString()).find("HKEY_CURRENT_USER\\Software\\Found^16384;"));
    }
}
