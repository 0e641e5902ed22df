// The backup and restore jobs of the process object, and the backup a repair writes first.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "AfxFileFind.h"
#include "EngineProcess.h"
#include "FakeScanItems.h"
#include "KeyAccess.h"
#include "MessageBoxRecorder.h"
#include "RecordingStatus.h"
#include "RegistrySandbox.h"
#include "TempFolder.h"

namespace {

// The process object with its backup procedure reachable as the repair job reaches it.
class CBackupProcess : public CVexaEngineProcess
{
public:
    CBackupProcess() : CVexaEngineProcess(false) {}

    int WritePartialBackup(CAbstractScanItemsInfo* items, CString* file)
    {
        m_resultItems = items;
        m_running = 1;
        const int result = WriteBackup(true, file);
        m_running = 0;
        return result;
    }
    using CVexaEngineProcess::CreateBackupFile;
    using CVexaEngineProcess::GetBackupFolder;
    using CVexaEngineProcess::MakeBackupFileName;
};

std::set<std::string> BackupFiles(const char* suffix)
{
    std::set<std::string> files;
    CFileFind find;
    BOOL more = find.FindFile(CBackupProcess::GetBackupFolder() + "\\*" + suffix);
    while (more) {
        more = find.FindNextFile();
        files.insert(find.GetFilePath().Str());
    }
    return files;
}

std::set<std::string> NewFiles(const std::set<std::string>& before, const std::set<std::string>& after)
{
    std::set<std::string> added;
    for (const std::string& file : after)
        if (!before.count(file))
            added.insert(file);
    return added;
}

// The keys "Key0000", "Key0001", ... below one parent of the sandboxed HKEY_CURRENT_USER, each
// with a value of its own (or as many values of the parent itself), and a thread that deletes
// every other one of them, from the last to the first, once it is let go: a walk that goes up the
// list from the first meets it and is then passed by deletions below where it stands.
class CSiblingDeleter
{
public:
    static const int kSiblings = 4000;
    static constexpr const char* kParent = "Software\\Siblings";

    explicit CSiblingDeleter(bool values)
        : m_bValues(values),
          m_go(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_firstGone(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~CSiblingDeleter()
    {
        End();
        ::CloseHandle(m_go);
        ::CloseHandle(m_firstGone);
    }

    static std::string Name(int index)
    {
        char name[16];
        std::snprintf(name, sizeof(name), "Key%04d", index);
        return name;
    }
    static std::string Data(int index) { return "data" + std::to_string(index); }

    bool Plant()
    {
        for (int i = 0; i < kSiblings; ++i) {
            const bool written =
                m_bValues ? WriteRegString(HKEY_CURRENT_USER, kParent, Name(i).c_str(), Data(i).c_str())
                          : WriteRegString(HKEY_CURRENT_USER, (std::string(kParent) + "\\" + Name(i)).c_str(), "v",
                                           Data(i).c_str());
            if (!written)
                return false;
        }
        return true;
    }

    void Run()
    {
        m_thread = std::thread([this] {
            HKEY parent = nullptr;
            if (::WaitForSingleObject(m_go, 30000) != WAIT_OBJECT_0 ||
                ::RegOpenKeyExA(HKEY_CURRENT_USER, kParent, 0, KEY_SET_VALUE, &parent) != ERROR_SUCCESS)
                return;
            for (int i = kSiblings - 1; i >= 0 && !m_stop; i -= 2) {
                const LONG deleted = m_bValues ? ::RegDeleteValueA(parent, Name(i).c_str())
                                               : ::RegDeleteKeyA(parent, Name(i).c_str());
                if (deleted == ERROR_SUCCESS)
                    m_deleted.insert(i);
                ::SetEvent(m_firstGone);
            }
            ::RegCloseKey(parent);
            ::SetEvent(m_firstGone);
        });
    }
    // Lets the deletions go, and returns once the first is done (false when none came).
    bool LetGoAndWaitForTheFirst()
    {
        ::SetEvent(m_go);
        return ::WaitForSingleObject(m_firstGone, 30000) == WAIT_OBJECT_0;
    }
    void Stop() { m_stop = true; }
    // Ends the thread; what it deleted is then in Deleted().
    void End()
    {
        m_stop = true;
        ::SetEvent(m_go);
        if (m_thread.joinable())
            m_thread.join();
    }
    const std::set<int>& Deleted() const { return m_deleted; }

private:
    const bool m_bValues;
    HANDLE m_go;
    HANDLE m_firstGone;
    std::atomic<bool> m_stop{false};
    std::set<int> m_deleted;
    std::thread m_thread;
};

// How often each sibling stands whole in a backup file: its start tag, its one value, its end
// tag, on consecutive lines (a sibling value: its line); and whether every non-empty key's start
// tag has its end tag.
std::map<std::string, int> WholeSiblings(const std::string& text, bool values, bool* balanced)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        const size_t first = line.find_first_not_of(' ');
        const size_t last = line.find_last_not_of("\r");
        lines.push_back(first == std::string::npos ? std::string() : line.substr(first, last + 1 - first));
    }
    std::map<std::string, int> whole;
    int opened = 0, closed = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line == "</k>")
            ++closed;
        else if (line.compare(0, 9, "<k name=\"") == 0 && line.compare(line.size() - 2, 2, "/>") != 0)
            ++opened;
        int index = -1;
        if (values && std::sscanf(line.c_str(), "<v name=\"Key%d\"", &index) == 1 &&
            line == "<v name=\"" + CSiblingDeleter::Name(index) + "\" value=\"" + CSiblingDeleter::Data(index) + "\"/>")
            ++whole[CSiblingDeleter::Name(index)];
        else if (!values && i + 2 < lines.size() && std::sscanf(line.c_str(), "<k name=\"Key%d\">", &index) == 1 &&
            line == "<k name=\"" + CSiblingDeleter::Name(index) + "\">" &&
            lines[i + 1] == "<v name=\"v\" value=\"" + CSiblingDeleter::Data(index) + "\"/>" &&
            lines[i + 2] == "</k>")
            ++whole[CSiblingDeleter::Name(index)];
    }
    *balanced = opened == closed;
    return whole;
}

class BackupJobTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sandbox.IsActive());
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Key", "value", "data"));
        m_before = BackupFiles(".rbk");
        m_hadFolder = ::GetFileAttributesA(CBackupProcess::GetBackupFolder()) != INVALID_FILE_ATTRIBUTES;
    }
    void TearDown() override
    {
        for (const std::string& file : NewFiles(m_before, BackupFiles(".rbk")))
            ::DeleteFileA(file.c_str());
        // The folder goes too when the job made it (and nothing else is in it).
        if (!m_hadFolder)
            ::RemoveDirectoryA(CBackupProcess::GetBackupFolder());
    }

    CRegistrySandbox m_sandbox;
    std::set<std::string> m_before;
    bool m_hadFolder = false;
};

} // namespace

TEST(BackupFileName, NamesTheMomentAndTheKindOfBackup)
{
    struct Row {
        SYSTEMTIME time;
        bool partial;
        const char* name;
    };
    const Row rows[] = {
        {{2026, 12, 0, 8, 2, 46, 31, 0}, false, "08122026_024631_FULL_REGBACKUP.rbk"},
        {{2027, 1, 0, 3, 9, 5, 7, 0}, false, "03012027_090507_FULL_REGBACKUP.rbk"},
        {{2027, 1, 0, 3, 9, 5, 7, 0}, true, "03012027_090507_REGBACKUP.rbk"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CBackupProcess::MakeBackupFileName(row.time, row.partial), row.name);
    EXPECT_EQ(CBackupProcess::MakeBackupFileName({2027, 1, 0, 3, 9, 5, 7, 0}, true, 2),
              "03012027_090507_2_REGBACKUP.rbk");
}

TEST(BackupFileName, ABackupOfTheSameSecondNeverReplacesAnother)
{
    CTempFolder folder;
    const SYSTEMTIME moment = {2027, 1, 0, 3, 9, 5, 7, 0};
    const std::string first = folder.WriteFile("03012027_090507_REGBACKUP.rbk", "the first repair's backup");
    const CString second = CBackupProcess::CreateBackupFile(folder.Path().c_str(), moment, true);
    const CString third = CBackupProcess::CreateBackupFile(folder.Path().c_str(), moment, true);
    EXPECT_EQ(second, CString(folder.PathOf("03012027_090507_2_REGBACKUP.rbk")));
    EXPECT_EQ(third, CString(folder.PathOf("03012027_090507_3_REGBACKUP.rbk")));
    EXPECT_EQ(ReadWholeFile(first), "the first repair's backup");
    EXPECT_TRUE(FileExists(second.Str()));
    // A full backup of the same second has a name of its own.
    EXPECT_EQ(CBackupProcess::CreateBackupFile(folder.Path().c_str(), moment, false),
              CString(folder.PathOf("03012027_090507_FULL_REGBACKUP.rbk")));
    EXPECT_TRUE(CBackupProcess::CreateBackupFile(folder.PathOf("missing").c_str(), moment, true).IsEmpty());
}

TEST_F(BackupJobTest, AFullBackupWritesOneFileInTheBackupFolderWithFiveSteps)
{
    CVexaEngineProcess process(false);
    CRecordingStatus status;
    ASSERT_EQ(process.StartBackup("ignored", &status), 1);
    EXPECT_EQ(process.GetJobType(), JOB_BACKUP);
    process.Resume();
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 1);
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 5);

    const auto added = NewFiles(m_before, BackupFiles("_FULL_REGBACKUP.rbk"));
    ASSERT_EQ(added.size(), 1u);
    const std::string text = ReadWholeFile(*added.begin());
    EXPECT_NE(text.find("<v name=\"value\" value=\"data\"/>"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 14), " </registry>\r\n");
}

TEST_F(BackupJobTest, AStoppedBackupLeavesNoFileAndFinishesAsFailed)
{
    CVexaEngineProcess process(false);
    CRecordingStatus status;
    status.onProgress = [&](int phase) {
        if (phase == PROGRESS_STEP)
            process.Stop(1);
    };
    ASSERT_EQ(process.StartBackup("", &status), 1);
    process.Resume();
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 0);
    EXPECT_TRUE(NewFiles(m_before, BackupFiles(".rbk")).empty());
}

TEST_F(BackupJobTest, RestoreJobRestoresAFileAndReportsAMissingOneAsFailed)
{
    CTempFolder folder;
    const std::string file = folder.WriteFile("r.rbk",
                                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                              " <registry>\r\n"
                                              "  <k name=\"HKEY_CURRENT_USER\">\r\n"
                                              "   <k name=\"Restored\">\r\n"
                                              "    <v name=\"v\" value=\"x\"/>\r\n"
                                              "   </k>\r\n"
                                              "  </k>\r\n"
                                              " </registry>\r\n");
    CVexaEngineProcess process(false);
    EXPECT_EQ(process.StartRestore("", nullptr), -1);
    CRecordingStatus unused;
    EXPECT_EQ(process.StartRestore("", &unused), -1);
    EXPECT_EQ(process.GetThreadHandle(), nullptr);

    CRecordingStatus restored;
    ASSERT_EQ(process.StartRestore(file.c_str(), &restored), 1);
    EXPECT_EQ(process.GetJobType(), JOB_RESTORE);
    process.Resume();
    ASSERT_TRUE(restored.WaitFinished());
    EXPECT_EQ(restored.FinishedResult(), 1);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Restored", "v"));
    const auto summary = restored.EventsOf(StatusEvent::Activity);
    ASSERT_FALSE(summary.empty());
    EXPECT_EQ(summary[0].text, "Restored 1 keys and 1 values. Not restored: 0 keys and 0 values. Skipped below "
                               "them: 0 keys and 0 values.");

    CRecordingStatus missing;
    ASSERT_EQ(process.StartRestore(folder.PathOf("missing.rbk").c_str(), &missing), 1);
    process.Resume();
    ASSERT_TRUE(missing.WaitFinished());
    EXPECT_EQ(missing.FinishedResult(), 0);
    const auto why = missing.EventsOf(StatusEvent::Activity);
    ASSERT_FALSE(why.empty());
    EXPECT_EQ(why[0].text, "The backup file cannot be read");
    EXPECT_EQ(why[0].area, ACTIVITY_RESTORE);

    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Restored");
    CRecordingStatus now;
    EXPECT_EQ(process.RestoreBackupNow(&now, file.c_str()), 1);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Restored", "v"));
    EXPECT_EQ(process.RestoreBackupNow(&now, folder.PathOf("missing.rbk").c_str()), 0);
}

TEST_F(BackupJobTest, ADamagedFileIsRefusedThroughTheJobsStatus)
{
    CMessageBoxRecorder messages;
    CTempFolder folder;
    // Cut inside a tag after a complete key: nothing of it may be written.
    const std::string file = folder.WriteFile("cut.rbk",
                                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                              " <registry>\r\n"
                                              "  <k name=\"HKEY_CURRENT_USER\">\r\n"
                                              "   <k name=\"Restored\">\r\n"
                                              "    <v name=\"v\" value=\"x\"/>\r\n"
                                              "   </k>\r\n"
                                              "   <k name=\"Cut");
    CVexaEngineProcess process(false);
    CRecordingStatus status;
    ASSERT_EQ(process.StartRestore(file.c_str(), &status), 1);
    process.Resume();
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 0);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Restored"));
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    std::vector<std::string> texts;
    for (const StatusEvent& event : status.EventsOf(StatusEvent::Activity))
        if (event.area == ACTIVITY_RESTORE)
            texts.push_back(event.text);
    EXPECT_EQ(texts, std::vector<std::string>{"Parse error in line 7 : (Unexpected end of file)"});
}

TEST_F(BackupJobTest, APartialBackupWritesTheItemsKeysUnderItsOwnName)
{
    CBackupProcess process;
    CFakeScanItems items({{"HKEY_CURRENT_USER\\Software\\Fixture\\Key\xAC" "value", false}});
    CString file;
    ASSERT_EQ(process.WritePartialBackup(&items, &file), 1);
    const auto added = NewFiles(m_before, BackupFiles(".rbk"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(*added.begin(), file.Str());
    EXPECT_EQ(file.Right(14), "_REGBACKUP.rbk");
    EXPECT_EQ(file.Find("_FULL_"), -1);
    EXPECT_NE(ReadWholeFile(file.Str()).find("<k name=\"Key\">"), std::string::npos);

    // The next repair's backup, perhaps of the same second, leaves this one as it was.
    const std::string firstText = ReadWholeFile(file.Str());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Other", "value", "data"));
    CFakeScanItems others({{"HKEY_CURRENT_USER\\Software\\Other", false}});
    CString second;
    ASSERT_EQ(process.WritePartialBackup(&others, &second), 1);
    EXPECT_NE(second, file);
    EXPECT_EQ(NewFiles(m_before, BackupFiles(".rbk")).size(), 2u);
    EXPECT_EQ(ReadWholeFile(file.Str()), firstText);
}

TEST_F(BackupJobTest, APartialBackupThatWouldHoldNoKeyIsNotKept)
{
    CBackupProcess process;
    const struct {
        const char* what;
        std::vector<CFakeScanItems::Item> items;
    } cases[] = {
        {"files and sizes only", {{"C:\\windows\\gone.lnk", false}, {"-1", false}}},
        {"keys that are gone", {{"HKEY_CURRENT_USER\\Software\\Gone", false},
                                {"HKEY_CURRENT_USER\\Software\\Gone\xAC" "value", false}}},
        {"only an excluded key", {{"HKEY_CURRENT_USER\\Software\\Fixture\\Key", true}}},
        {"nothing", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFakeScanItems items(c.items);
        CString file = "unchanged";
        EXPECT_EQ(process.WritePartialBackup(&items, &file), 1);
        EXPECT_EQ(file, "unchanged");
        EXPECT_TRUE(NewFiles(m_before, BackupFiles(".rbk")).empty());
    }
}

TEST_F(BackupJobTest, AFullBackupTellsHowManyKeysItCouldNotRead)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Locked\\Inner", "v", "x"));
    const auto skippedReports = [](const CRecordingStatus& status) {
        std::vector<std::pair<int, INT_PTR>> reports;
        for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
            if (event.text == ITEM_BACKUP_SKIPPED)
                reports.push_back({event.value, event.extra});
        return reports;
    };
    CVexaEngineProcess process(false);
    {
        CRecordingStatus status;
        ASSERT_EQ(process.StartBackup("", &status), 1);
        process.Resume();
        ASSERT_TRUE(status.WaitFinished());
        EXPECT_EQ(status.FinishedResult(), 1);
        EXPECT_TRUE(skippedReports(status).empty());
    }
    CDeniedKey locked(HKEY_CURRENT_USER, "Software\\Fixture\\Locked", "KA");
    ASSERT_TRUE(locked.IsActive());
    CRecordingStatus status;
    ASSERT_EQ(process.StartBackup("", &status), 1);
    process.Resume();
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 1);
    const std::vector<std::pair<int, INT_PTR>> expected = {{1, 0}};
    EXPECT_EQ(skippedReports(status), expected);
    EXPECT_EQ(NewFiles(m_before, BackupFiles("_FULL_REGBACKUP.rbk")).size(), 2u);
}

TEST_F(BackupJobTest, KeysOrValuesDeletedDuringAFullBackupLeaveNoneThatStillExistsOut)
{
    for (const bool values : {false, true}) {
        SCOPED_TRACE(values ? "values" : "keys");
        CSiblingDeleter deleter(values);
        ASSERT_TRUE(deleter.Plant());
        deleter.Run();
        CVexaEngineProcess process(false);
        CRecordingStatus status;
        // The job is held after the first root until the deletions have begun; they go on while
        // it walks the siblings' parent, and stop when it ends.
        bool letGo = false, deletionsBegan = false;
        status.onProgress = [&](int phase) {
            if (phase == PROGRESS_STEP && !letGo) {
                letGo = true;
                deletionsBegan = deleter.LetGoAndWaitForTheFirst();
            }
        };
        status.onFinished = [&](int) { deleter.Stop(); };
        const std::set<std::string> before = BackupFiles("_FULL_REGBACKUP.rbk");
        ASSERT_EQ(process.StartBackup("", &status), 1);
        process.Resume();
        ASSERT_TRUE(status.WaitFinished());
        deleter.End();
        ASSERT_TRUE(deletionsBegan);

        EXPECT_EQ(status.FinishedResult(), 1);
        for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
            EXPECT_NE(event.text, ITEM_BACKUP_SKIPPED) << event.value << " keys and " << event.extra << " values";
        const auto added = NewFiles(before, BackupFiles("_FULL_REGBACKUP.rbk"));
        ASSERT_EQ(added.size(), 1u);
        bool balanced = false;
        const std::map<std::string, int> whole = WholeSiblings(ReadWholeFile(*added.begin()), values, &balanced);
        EXPECT_TRUE(balanced);
        std::vector<std::string> left, doubled;
        for (int i = 0; i < CSiblingDeleter::kSiblings; ++i) {
            if (deleter.Deleted().count(i))
                continue;
            const auto found = whole.find(CSiblingDeleter::Name(i));
            if (found == whole.end())
                left.push_back(CSiblingDeleter::Name(i));
            else if (found->second != 1)
                doubled.push_back(CSiblingDeleter::Name(i));
        }
        EXPECT_TRUE(left.empty()) << left.size() << " never deleted are not in the backup whole, the first "
                                  << left.front() << "; " << deleter.Deleted().size() << " were deleted";
        EXPECT_TRUE(doubled.empty()) << doubled.size() << " stand twice, the first " << doubled.front();
        ASSERT_EQ(::RegDeleteTreeA(HKEY_CURRENT_USER, CSiblingDeleter::kParent), ERROR_SUCCESS);
    }
}
