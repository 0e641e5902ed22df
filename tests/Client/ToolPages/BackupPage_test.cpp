// The backup page over the real engine: a whole-registry backup made, listed, restored (the
// registry compared before and after) and its file gone; a restore that fails keeps its file;
// deletions by the row's own file, also where the code page spells two names alike; rows that
// cannot be acted on say so; a start the engine refuses.
#include "PagesFixture.h"

#include <shlwapi.h>

#include <cwchar>
#include <set>

#include "CodePagePath.h"
#include "JobWait.h"
#include "KeyAccess.h"
#include "RecordingStatus.h"
#include "RegistrySnapshot.h"
#include "ToolPagesHelpers.h"
#include "resource.h"

namespace {

const char kFixtureKey[] = "Software\\KelvaraBackupPageTest";

// A backup that gives back one value of the fixture key.
std::string RestoringValue(const char* valueName)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
                       "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Software\">\r\n"
                       "    <k name=\"KelvaraBackupPageTest\">\r\n     <v name=\"") +
           valueName + "\" value=\"restored\"/>\r\n    </k>\r\n   </k>\r\n  </k>\r\n </registry>\r\n";
}

bool CodePageSpells(const wchar_t* text)
{
    BOOL lost = FALSE;
    char narrow[64] = {};
    return ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, narrow, sizeof(narrow), nullptr, &lost) > 0 &&
           !lost;
}

const wchar_t kFullwidthBack[] = L"\xff42\xff41\xff43\xff4b";  // "back" in fullwidth letters
const wchar_t kCyrillic[] = L"\x0440\x0435\x0437\x0435\x0440\x0432";

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
        for (const std::wstring& path : m_made) {
            ::SetFileAttributesW(GetLongPathForm(path).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(GetLongPathForm(path).c_str());
        }
        PagesTest::TearDown();
    }

    CAdvanceOptions& Page() { return m_main->m_backupPage; }
    HWND List() { return ::GetDlgItem(Page().m_hWnd, IDC_BACKUP_LIST); }

    static std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }
    static bool Exists(const std::wstring& path)
    {
        return ::GetFileAttributesW(GetLongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    static std::set<std::wstring> BackupFiles()
    {
        std::set<std::wstring> files;
        for (const BACKUP_RECORD& record : EnumerateBackups(GetBackupFolder()))
            files.insert(record.path);
        return files;
    }
    // Backups of this test's registry made since it began (other programs may be writing their
    // own into the same folder meanwhile).
    std::vector<std::wstring> NewBackupFiles()
    {
        std::vector<std::wstring> files;
        for (const std::wstring& path : BackupFiles()) {
            if (!m_before.count(path) && ReadWholeFile(Narrow(path)).find("KelvaraBackupPageTest") != std::string::npos)
                files.push_back(path);
        }
        return files;
    }
    std::wstring WriteBackupFile(const std::wstring& name, const std::string& text)
    {
        ::CreateDirectoryW(GetBackupFolder().c_str(), nullptr);
        const std::wstring path = GetBackupFolder() + L"\\" + name;
        HANDLE file = ::CreateFileW(GetLongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        ::CloseHandle(file);
        m_made.push_back(path);
        return path;
    }
    // The row of a file, by the name the list shows, as the system spells it.
    int RowOf(const std::wstring& path)
    {
        const std::wstring file = path.substr(path.rfind(L'\\') + 1);
        const std::wstring name = file.substr(0, file.rfind(L'.'));
        for (int row = 0; row < ListView_GetItemCount(List()); ++row) {
            if (WideCellText(row) == name)
                return row;
        }
        return -1;
    }
    std::wstring WideCellText(int row)
    {
        wchar_t text[1024] = {};
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = 1024;
        ::SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return text;
    }
    bool WaitForMessage()
    {
        return PumpUntil([] { return !CMessageBoxRecorder::Texts().empty(); });
    }

    std::set<std::wstring> m_before;
    std::vector<std::wstring> m_made;
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
    const std::vector<std::wstring> made = NewBackupFiles();
    ASSERT_EQ(1u, made.size());
    m_made.push_back(made[0]);
    const int row = RowOf(made[0]);
    ASSERT_GE(row, 0);
    EXPECT_NE(std::string::npos, CellText(List(), row, 0).find("_FULL_REGBACKUP"));
    EXPECT_FALSE(CellText(List(), row, 1).empty());
    // Both columns fit the list, and the date fits its column: no horizontal scroll bar.
    EXPECT_EQ(0, ::GetWindowLongA(List(), GWL_STYLE) & WS_HSCROLL);
    EXPECT_LT(ListView_GetStringWidth(List(), CellText(List(), row, 1).c_str()), ListView_GetColumnWidth(List(), 1));
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
    EXPECT_FALSE(Exists(made[0]));
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
    const std::vector<std::wstring> made = NewBackupFiles();
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
    const std::wstring bad = WriteBackupFile(L"KelvaraPageTest_bad.rbk",
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
    EXPECT_TRUE(Exists(bad));
    EXPECT_GE(RowOf(bad), 0);
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_DELETE));

    // Removed by the file of its row.
    const std::wstring other = WriteBackupFile(L"KelvaraPageTest_other.rbk", "x");
    m_main->ShowPage(PAGE_BACKUP);
    SelectRow(List(), RowOf(bad));
    Click(Page(), IDC_BACKUP_DELETE);
    EXPECT_FALSE(Exists(bad));
    EXPECT_TRUE(Exists(other));
    EXPECT_EQ(-1, RowOf(bad));
    EXPECT_GE(RowOf(other), 0);
}

TEST_F(BackupPageTest, EachRowRemovesAndRestoresItsOwnFileWhateverTheCodePageSpells)
{
    if (CodePageSpells(kFullwidthBack) || CodePageSpells(kCyrillic))
        GTEST_SKIP() << "the code page spells fullwidth and Cyrillic letters";
    // The ANSI calls find the fullwidth name as the plain one beside it, and the long one only
    // beyond MAX_PATH.
    const size_t room = GetBackupFolder().size() + std::wcslen(L"\\KelvaraPageTest_.rbk");
    const std::wstring longName = L"KelvaraPageTest_" + std::wstring(room < MAX_PATH ? MAX_PATH + 10 - room : 1, L'x');
    const struct {
        std::wstring name;
        const char* value;
    } backups[] = {
        { L"back", "plain" },
        { kFullwidthBack, "fullwidth" },
        { kCyrillic, "cyrillic" },
        { longName, "long" },
    };
    const auto pathOf = [](const std::wstring& name) { return GetBackupFolder() + L"\\" + name + L".rbk"; };
    const auto writeMissing = [&] {
        for (const auto& backup : backups) {
            if (!Exists(pathOf(backup.name)))
                WriteBackupFile(backup.name + L".rbk", RestoringValue(backup.value));
        }
        m_main->ShowPage(PAGE_BACKUP);
        // Every row shows its file's own name.
        for (const auto& backup : backups)
            EXPECT_GE(RowOf(pathOf(backup.name)), 0) << backup.value;
    };
    ASSERT_GT(pathOf(longName).size(), static_cast<size_t>(MAX_PATH));

    for (const auto& acted : backups) {
        const std::wstring path = pathOf(acted.name);
        writeMissing();
        CMessageBoxRecorder::ClearTexts();
        SelectRow(List(), RowOf(path));
        Click(Page(), IDC_BACKUP_DELETE);
        EXPECT_TRUE(CMessageBoxRecorder::Texts().empty()) << acted.value;
        EXPECT_FALSE(Exists(path)) << acted.value;
        EXPECT_EQ(-1, RowOf(path)) << acted.value;
        for (const auto& other : backups) {
            const bool kept = &other == &acted || (Exists(pathOf(other.name)) && RowOf(pathOf(other.name)) >= 0);
            EXPECT_TRUE(kept) << acted.value << " took " << other.value;
        }

        writeMissing();
        CMessageBoxRecorder::ClearTexts();
        SelectRow(List(), RowOf(path));
        Click(Page(), IDC_BACKUP_RESTORE);
        ASSERT_TRUE(WaitForMessage()) << acted.value;
        EXPECT_EQ(std::vector<std::string>{ "Backup successfully restored." }, CMessageBoxRecorder::Texts()) << acted.value;
        for (const auto& other : backups) {
            EXPECT_EQ(&other == &acted, RegValueExists(HKEY_CURRENT_USER, kFixtureKey, other.value))
                << acted.value << " restored " << other.value;
            EXPECT_TRUE(&other == &acted || Exists(pathOf(other.name))) << acted.value << " took " << other.value;
        }
        EXPECT_FALSE(Exists(path)) << acted.value;
        EXPECT_EQ(-1, RowOf(path)) << acted.value;
        ::SHDeleteValueA(HKEY_CURRENT_USER, kFixtureKey, acted.value);
    }
}

TEST_F(BackupPageTest, ARowThatCannotBeActedOnSaysSo)
{
    if (CodePageSpells(kCyrillic))
        GTEST_SKIP() << "the code page spells Cyrillic letters";
    const std::wstring plain = WriteBackupFile(L"KelvaraPageTest_plain.rbk", RestoringValue("plain"));
    const std::wstring locked = WriteBackupFile(std::wstring(kCyrillic) + L".rbk", RestoringValue("cyrillic"));
    ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string readOnly = "The backup \"??????\" cannot be removed: the file or its folder is read-only.";
    m_main->ShowPage(PAGE_BACKUP);

    SelectRow(List(), RowOf(locked));
    Click(Page(), IDC_BACKUP_DELETE);
    EXPECT_EQ(std::vector<std::string>{ readOnly }, CMessageBoxRecorder::Texts());
    EXPECT_TRUE(Exists(locked));
    EXPECT_GE(RowOf(locked), 0);

    // Restored, then kept: the message after the restore's says why.
    CMessageBoxRecorder::ClearTexts();
    SelectRow(List(), RowOf(locked));
    Click(Page(), IDC_BACKUP_RESTORE);
    ASSERT_TRUE(PumpUntil([] { return CMessageBoxRecorder::Texts().size() >= 2; }));
    EXPECT_EQ((std::vector<std::string>{ "Backup successfully restored.", readOnly }), CMessageBoxRecorder::Texts());
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kFixtureKey, "cyrillic"));
    EXPECT_TRUE(Exists(locked));
    EXPECT_TRUE(Exists(plain));

    // A restore the engine cannot start now: the file stays and the page is usable.
    CQuillonApp& app = TestApp();
    ::SHDeleteValueA(HKEY_CURRENT_USER, kFixtureKey, "cyrillic");
    CRecordingStatus holder;
    ASSERT_EQ(1, app.m_pProcess->StartDefrag(0, &holder));
    CMessageBoxRecorder::ClearTexts();
    SelectRow(List(), RowOf(locked));
    Click(Page(), IDC_BACKUP_RESTORE);
    EXPECT_EQ(std::vector<std::string>{ "Please stop other active operation before starting registry restore." },
              CMessageBoxRecorder::Texts());
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_RESTORE));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kFixtureKey, "cyrillic"));
    EXPECT_TRUE(Exists(locked));
    app.m_pProcess->Resume();
    ASSERT_TRUE(holder.WaitFinished());
    WaitForEngineJob(app.m_pProcess);
}

TEST_F(BackupPageTest, AGoneFileIsDroppedFromTheListAndNothingStarts)
{
    const std::wstring gone = WriteBackupFile(L"KelvaraPageTest_gone.rbk", "x");
    m_main->ShowPage(PAGE_BACKUP);
    ASSERT_GE(RowOf(gone), 0);
    ::DeleteFileW(gone.c_str());
    SelectRow(List(), RowOf(gone));
    Click(Page(), IDC_BACKUP_RESTORE);
    PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    EXPECT_EQ(-1, RowOf(gone));
    EXPECT_TRUE(IsEnabled(Page(), IDC_BACKUP_CREATE));
    EXPECT_FALSE(TestApp().m_pProcess->IsRunning());

    // Nothing selected: Restore and Remove do nothing.
    const std::wstring kept = WriteBackupFile(L"KelvaraPageTest_kept.rbk", "x");
    m_main->ShowPage(PAGE_BACKUP);
    ExpectButtonsNeedASelection(Page(), IDC_BACKUP_LIST, { IDC_BACKUP_DELETE, IDC_BACKUP_RESTORE });
    EXPECT_TRUE(Exists(kept));
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
