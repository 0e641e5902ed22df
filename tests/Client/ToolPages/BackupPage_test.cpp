// The backup page over the real engine: a whole-registry backup made, listed, restored (the
// registry compared before and after) and its file gone; a restore that fails keeps its file;
// deletions by the row's own file; a start the engine refuses.
#include "PagesFixture.h"

#include <shlwapi.h>

#include <set>

#include "JobWait.h"
#include "KeyAccess.h"
#include "RecordingStatus.h"
#include "RegistrySnapshot.h"
#include "ToolPagesHelpers.h"
#include "resource.h"

namespace {

const char kFixtureKey[] = "Software\\KelvaraBackupPageTest";

class BackupPageTest : public PagesTest
{
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        m_before = BackupFiles();
    }
    void TearDown() override
    {
        for (const std::string& path : m_made)
            ::DeleteFileA(path.c_str());
        PagesTest::TearDown();
    }

    CAdvanceOptions& Page() { return m_main->m_backupPage; }
    HWND List() { return ::GetDlgItem(Page().m_hWnd, IDC_BACKUP_LIST); }

    static std::set<std::string> BackupFiles()
    {
        std::set<std::string> files;
        for (const BACKUP_RECORD& record : EnumerateBackups(GetBackupFolder()))
            files.insert(record.path.GetString());
        return files;
    }
    // Backups of this test's registry made since it began (other programs may be writing their
    // own into the same folder meanwhile).
    std::vector<std::string> NewBackupFiles()
    {
        std::vector<std::string> files;
        for (const std::string& path : BackupFiles()) {
            if (!m_before.count(path) && ReadWholeFile(path).find("KelvaraBackupPageTest") != std::string::npos)
                files.push_back(path);
        }
        return files;
    }
    std::string WriteBackupFile(const char* name, const std::string& text)
    {
        ::CreateDirectoryA(GetBackupFolder(), nullptr);
        const std::string path = std::string(GetBackupFolder().GetString()) + "\\" + name;
        FILE* file = fopen(path.c_str(), "wb");
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
        m_made.push_back(path);
        return path;
    }
    // The row of a file, by the name the list shows.
    int RowOf(const std::string& path)
    {
        const std::string file = path.substr(path.rfind('\\') + 1);
        return FindRow(List(), 0, file.substr(0, file.rfind('.')));
    }
    bool WaitForMessage()
    {
        return PumpUntil([] { return !CMessageBoxRecorder::Texts().empty(); });
    }

    std::set<std::string> m_before;
    std::vector<std::string> m_made;
};

} // namespace

TEST_F(BackupPageTest, ABackupIsMadeListedRestoredAndThenGone)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kFixtureKey, "Text", "a & b < \"c\""));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, kFixtureKey, "Count", 42));
    ASSERT_TRUE(WriteRegBinary(HKEY_CURRENT_USER, (std::string(kFixtureKey) + "\\Sub").c_str(), "List", "x\0y\0\0", 5,
                               REG_MULTI_SZ));
    RegistrySnapshot before;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\KelvaraBackupPageTest", &before));

    m_main->ShowPage(PAGE_BACKUP);
    Click(Page(), IDC_BACKUP_CREATE);
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(std::vector<std::string>{ "Backup successfully created." }, CMessageBoxRecorder::Texts());
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_CREATE));
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_RESTORE));
    const std::vector<std::string> made = NewBackupFiles();
    ASSERT_EQ(1u, made.size());
    m_made.push_back(made[0]);
    const int row = RowOf(made[0]);
    ASSERT_GE(row, 0);
    EXPECT_NE(std::string::npos, CellText(List(), row, 0).find("_FULL_REGBACKUP"));
    EXPECT_FALSE(CellText(List(), row, 1).empty());
    SaveScreenshot("backup-page");

    // The registry changes; the restore brings it back.
    ::SHDeleteKeyA(HKEY_CURRENT_USER, (std::string(kFixtureKey) + "\\Sub").c_str());
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, kFixtureKey, "Count", 7));
    CMessageBoxRecorder::ClearTexts();
    SelectRow(List(), RowOf(made[0]));
    Click(Page(), IDC_BACKUP_RESTORE);
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(std::vector<std::string>{ "Backup successfully restored." }, CMessageBoxRecorder::Texts());
    RegistrySnapshot after;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\KelvaraBackupPageTest", &after));
    EXPECT_EQ("", CompareSnapshots(before, after));
    EXPECT_FALSE(FileExists(made[0]));
    EXPECT_EQ(-1, RowOf(made[0]));
}

TEST_F(BackupPageTest, ABackupThatLeftKeysOutSaysHowMany)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, (std::string(kFixtureKey) + "\\Locked").c_str(), "v", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, (std::string(kFixtureKey) + "\\Also locked").c_str(), "v", "x"));
    CDeniedKey locked(HKEY_CURRENT_USER, (std::string(kFixtureKey) + "\\Locked").c_str(), "KA");
    CDeniedKey alsoLocked(HKEY_CURRENT_USER, (std::string(kFixtureKey) + "\\Also locked").c_str(), "KA");
    ASSERT_TRUE(locked.IsActive() && alsoLocked.IsActive());

    m_main->ShowPage(PAGE_BACKUP);
    Click(Page(), IDC_BACKUP_CREATE);
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(std::vector<std::string>{ "Registry backed up, 2 keys could not be read." },
              CMessageBoxRecorder::Texts());
    const std::vector<std::string> made = NewBackupFiles();
    ASSERT_EQ(1u, made.size());
    m_made.push_back(made[0]);

    // The words follow the counts.
    const struct {
        int keys;
        int values;
        const char* text;
    } rows[] = {
        { 0, 0, "Backup successfully created." },
        { 1, 0, "Registry backed up, 1 key could not be read." },
        { 0, 1, "Registry backed up, 1 value could not be read." },
        { 3, 2, "Registry backed up, 3 keys and 2 values could not be read." },
    };
    for (const auto& row : rows)
        EXPECT_EQ(std::string(row.text), BackupFinishedMessage(false, 1, row.keys, row.values).GetString());
    EXPECT_EQ(std::string("The backup could not be created."), BackupFinishedMessage(false, 0, 3, 2).GetString());
}

TEST_F(BackupPageTest, ARestoreThatFailsKeepsItsFileAndSaysSo)
{
    // A key under no root the registry knows cannot be restored.
    const std::string bad = WriteBackupFile("KelvaraPageTest_bad.rbk",
                                            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
                                            "  <k name=\"HKEY_NOWHERE\">\r\n   <k name=\"Sub\"/>\r\n  </k>\r\n"
                                            " </registry>\r\n");
    m_main->ShowPage(PAGE_BACKUP);
    ASSERT_GE(RowOf(bad), 0);
    SelectRow(List(), RowOf(bad));
    Click(Page(), IDC_BACKUP_RESTORE);
    ASSERT_TRUE(WaitForMessage());
    ASSERT_EQ(1u, CMessageBoxRecorder::Texts().size());
    EXPECT_EQ("The backup could not be restored completely. The backup file has been kept.",
              CMessageBoxRecorder::Texts()[0]);
    EXPECT_TRUE(FileExists(bad));
    EXPECT_GE(RowOf(bad), 0);
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_DELETE));

    // Removed by the file of its row.
    const std::string other = WriteBackupFile("KelvaraPageTest_other.rbk", "x");
    m_main->ShowPage(PAGE_BACKUP);
    SelectRow(List(), RowOf(bad));
    Click(Page(), IDC_BACKUP_DELETE);
    EXPECT_FALSE(FileExists(bad));
    EXPECT_TRUE(FileExists(other));
    EXPECT_EQ(-1, RowOf(bad));
    EXPECT_GE(RowOf(other), 0);
}

TEST_F(BackupPageTest, AGoneFileIsDroppedFromTheListAndNothingStarts)
{
    const std::string gone = WriteBackupFile("KelvaraPageTest_gone.rbk", "x");
    m_main->ShowPage(PAGE_BACKUP);
    ASSERT_GE(RowOf(gone), 0);
    ::DeleteFileA(gone.c_str());
    SelectRow(List(), RowOf(gone));
    Click(Page(), IDC_BACKUP_RESTORE);
    PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    EXPECT_EQ(-1, RowOf(gone));
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_CREATE));
    EXPECT_FALSE(TestApp().m_pProcess->IsRunning());

    // Nothing selected: Restore and Remove do nothing.
    const std::string kept = WriteBackupFile("KelvaraPageTest_kept.rbk", "x");
    m_main->ShowPage(PAGE_BACKUP);
    ExpectButtonsNeedASelection(Page(), IDC_BACKUP_LIST, { IDC_BACKUP_DELETE, IDC_BACKUP_RESTORE });
    EXPECT_TRUE(FileExists(kept));
}

TEST_F(BackupPageTest, AStartTheEngineRefusesLeavesThePageUsable)
{
    CQuillonApp& app = TestApp();
    // A job that holds the engine without running yet: the page's own check sees nothing.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kFixtureKey, "Text", "x"));
    CRecordingStatus holder;
    ASSERT_EQ(1, app.m_pProcess->StartDefrag(0, &holder));
    m_main->ShowPage(PAGE_BACKUP);
    Click(Page(), IDC_BACKUP_CREATE);
    EXPECT_EQ(std::vector<std::string>{ "Please stop other active operation before starting registry backup." },
              CMessageBoxRecorder::Texts());
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_CREATE));
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_RESTORE));
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_DELETE));
    EXPECT_TRUE(NewBackupFiles().empty());
    app.m_pProcess->Resume();
    ASSERT_TRUE(holder.WaitFinished());
    WaitForEngineJob(app.m_pProcess);
}
