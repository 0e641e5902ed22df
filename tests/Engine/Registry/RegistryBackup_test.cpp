// Backup files: export, delete, restore, and compare every byte with the wide registry calls;
// damaged files are refused whole, before anything is written.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "BackupFixture.h"
#include "FakeScanItems.h"
#include "KeyAccess.h"
#include "LinkKey.h"
#include "MessageBoxRecorder.h"
#include "RecordingStatus.h"
#include "Registry/RegistryManager.h"
#include "RegistrySandbox.h"
#include "RegistrySnapshot.h"
#include "TempFolder.h"
#include "Xml/XmlReader.h"

namespace {

const wchar_t kFixture[] = L"Software\\Fixture";
const char kFixtureText[] = "HKEY_CURRENT_USER\\Software\\Fixture";

std::vector<BYTE> Wide(const wchar_t* text, size_t characters)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(bytes, bytes + characters * sizeof(wchar_t));
}

// A small backup as the writer makes it: a root chain, values of several forms, keys inside.
const char kValidDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    " <registry>\r\n"
    "  <k name=\"HKEY_CURRENT_USER\">\r\n"
    "   <k name=\"Software\">\r\n"
    "    <k name=\"Restored\">\r\n"
    "     <v name=\"(Default)\" value=\"abc\"/>\r\n"
    "     <v name=\"Count\" value=\"0x0000001e (30)\" type=\"REG_DWORD\"/>\r\n"
    "     <v name=\"Bytes\" value=\"0a 1b ff\" type=\"REG_BINARY\"/>\r\n"
    "     <v name=\"Raw\" value=\"61 00\" type=\"REG_NONE\" encoding=\"hex\"/>\r\n"
    "     <v name=\"List\" value=\"a&#13;&#10;&#13;&#10;b\" type=\"REG_MULTI_SZ\"/>\r\n"
    "     <k name=\"Inner\">\r\n"
    "      <v name=\"Text\" value=\"&lt;x> &amp; caf\xc3\xa9\"/>\r\n"
    "     </k>\r\n"
    "     <k name=\"Empty\"/>\r\n"
    "    </k>\r\n"
    "   </k>\r\n"
    "  </k>\r\n"
    " </registry>\r\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// The key paths of a backup file in the order their start tags stand, checking on the way that
// every end tag closes the key it belongs to.
std::vector<std::string> KeyPathsIn(const std::string& file, bool* balanced)
{
    std::vector<std::string> paths, stack;
    CXmlReader reader;
    reader.SetFileName(file.c_str());
    *balanced = true;
    bool inKey = false;
    while (reader.Read()) {
        const std::string element = reader.GetName().Str();
        switch (reader.GetNodeType()) {
        case CXmlReader::NODE_START_TAG:
            inKey = element == "k";
            break;
        case CXmlReader::NODE_ATTRIBUTE: {
            CString name, value;
            reader.GetAttribute(&name, &value);
            if (inKey && name == "name") {
                stack.push_back(stack.empty() ? value.Str() : stack.back() + "\\" + value.Str());
                paths.push_back(stack.back());
                inKey = false;
            }
            break;
        }
        case CXmlReader::NODE_END_TAG:
            if (element == "k") {
                if (stack.empty())
                    *balanced = false;
                else
                    stack.pop_back();
            }
            break;
        default:
            break;
        }
    }
    if (!stack.empty() || reader.HasFailed())
        *balanced = false;
    return paths;
}

bool IsEmptyKey(HKEY key)
{
    DWORD subKeys = 1, values = 1;
    return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                              nullptr, nullptr) == ERROR_SUCCESS &&
           subKeys == 0 && values == 0;
}

class RegistryBackupTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_sandbox.IsActive()); }

    std::string BackupPath() const { return m_folder.PathOf("backup.rbk"); }

    // Restores a document into the empty sandbox; the manager's result.
    int Restore(const std::string& document, CRecordingStatus* status = nullptr)
    {
        const std::string file = m_folder.WriteFile("restore.rbk", document);
        m_manager.reset(new CRegistryManager(status));
        return m_manager->ImportFile(file.c_str());
    }

    // A document that must be refused whole: nothing written, the reason told to the status.
    void ExpectRefused(const std::string& document, const std::string& why)
    {
        SCOPED_TRACE(why);
        CRecordingStatus status;
        EXPECT_EQ(Restore(document, &status), 0);
        EXPECT_TRUE(IsEmptyKey(HKEY_CURRENT_USER)) << "something was written";
        const CString& error = m_manager->GetRestoreResult().Error;
        EXPECT_EQ(error.Find("Parse error in line "), 0) << error.Str();
        const auto activities = status.EventsOf(StatusEvent::Activity);
        ASSERT_EQ(activities.size(), 1u);
        EXPECT_EQ(activities[0].text, error.Str());
        EXPECT_EQ(activities[0].area, ACTIVITY_RESTORE);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");
    }

    CRegistrySandbox m_sandbox;
    CTempFolder m_folder;
    std::unique_ptr<CRegistryManager> m_manager;
    CMessageBoxRecorder m_messages;
};

} // namespace

TEST_F(RegistryBackupTest, RestoresEveryValueTypeAndNameByteForByte)
{
    ASSERT_TRUE(WriteBackupFixture(HKEY_CURRENT_USER, kFixture));
    RegistrySnapshot before;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, kFixture, &before));

    CRegistryManager manager(nullptr);
    CFakeScanItems items({{kFixtureText, false}});
    ASSERT_EQ(manager.ExportItems(BackupPath().c_str(), &items), 1);
    EXPECT_EQ(manager.GetSkippedCount(), 0);
    EXPECT_TRUE(manager.IsItemBackedUp(kFixtureText));

    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kFixture), ERROR_SUCCESS);
    ASSERT_EQ(manager.ImportFile(BackupPath().c_str()), 1) << manager.GetRestoreResult().Error.Str();
    RegistrySnapshot after;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, kFixture, &after));
    EXPECT_EQ(CompareSnapshots(before, after), "");

    // No text spans lines: every line of the file is one whole tag.
    const std::string text = ReadWholeFile(BackupPath());
    size_t start = 0, lines = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2, ++lines) {
        const std::string line = text.substr(start, end - start);
        const size_t first = line.find_first_not_of(' ');
        ASSERT_TRUE(first != std::string::npos && line[first] == '<' && line.back() == '>') << line.substr(0, 80);
    }
    EXPECT_EQ(start, text.size());
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST(RegistryBackupFormat, WritesTheDocumentLineForLine)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\X", nullptr, "abc"));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, "Software\\X", "Count", 2));
    const wchar_t list[] = L"a\0\0b\0";
    ASSERT_TRUE(WriteRegValueW(HKEY_CURRENT_USER, L"Software\\X", L"\x4e00", REG_MULTI_SZ, list, sizeof(list)));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, "Software\\X\\Sub"));
    CTempFolder folder;
    CRegistryManager manager(nullptr);
    CFakeScanItems items({{"HKEY_CURRENT_USER\\Software\\X", false}});
    ASSERT_EQ(manager.ExportItems(folder.PathOf("x.rbk").c_str(), &items), 1);
    EXPECT_EQ(ReadWholeFile(folder.PathOf("x.rbk")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              " <registry>\r\n"
              "  <k name=\"HKEY_CURRENT_USER\">\r\n"
              "   <k name=\"Software\">\r\n"
              "    <k name=\"X\">\r\n"
              "     <v name=\"(Default)\" value=\"abc\"/>\r\n"
              "     <v name=\"Count\" value=\"0x00000002 (2)\" type=\"REG_DWORD\"/>\r\n"
              "     <v name=\"\xe4\xb8\x80\" value=\"a&#13;&#10;&#13;&#10;b\" type=\"REG_MULTI_SZ\"/>\r\n"
              "     <k name=\"Sub\"/>\r\n"
              "    </k>\r\n"
              "   </k>\r\n"
              "  </k>\r\n"
              " </registry>\r\n");
}

TEST_F(RegistryBackupTest, PartialBackupWritesTheKeysOfTheItemsThatAreNotExcluded)
{
    ASSERT_TRUE(WriteBackupFixture(HKEY_CURRENT_USER, kFixture));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Excluded", "v", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Deep\\Er", "second", "x"));
    CFakeScanItems items({
        {"HKEY_CURRENT_USER\\Software\\Fixture\\Deep\\Er\xAC" "leaf", false},
        {"HKEY_CURRENT_USER\\Software\\Fixture\\Deep\\Er\xAC" "second", false},
        {"HKEY_CURRENT_USER\\Software\\Excluded", true},
        {"C:\\windows\\file.dll", false},
        {"-1", false},
        // Texts naming a whole root are nothing a repair deletes: no root is backed up whole.
        {"HKEY_CURRENT_USER\\", false},
        {"HKEY_CURRENT_USER", false},
        {"HKEY_LOCAL_MACHINE\\\xAC" "value", false},
        {"HKEY_CURRENT_USER\\Software\\Missing", false},
        {"HKEY_CURRENT_USER\\Software\\Fixture\\Empty", false},
    });
    CRegistryManager manager(nullptr);
    ASSERT_EQ(manager.ExportItems(BackupPath().c_str(), &items), 1);
    // A key that is gone has nothing to lose: the repair may go on with it.
    EXPECT_TRUE(manager.IsItemBackedUp("HKEY_CURRENT_USER\\Software\\Missing"));

    bool balanced = false;
    const auto paths = KeyPathsIn(BackupPath(), &balanced);
    EXPECT_TRUE(balanced);
    const std::vector<std::string> expected = {
        // A key named by two items is written once, with both values.
        "HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER\\Software\\Fixture",
        "HKEY_CURRENT_USER\\Software\\Fixture\\Deep", "HKEY_CURRENT_USER\\Software\\Fixture\\Deep\\Er",
        "HKEY_CURRENT_USER\\Software\\Fixture\\Deep\\Er\\Est",
        "HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER\\Software\\Fixture",
        "HKEY_CURRENT_USER\\Software\\Fixture\\Empty",
    };
    EXPECT_EQ(paths, expected);

    // Restoring it twice over the same keys changes nothing.
    RegistrySnapshot before, after;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\Fixture\\Deep", &before));
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Fixture\\Deep"), ERROR_SUCCESS);
    EXPECT_EQ(manager.ImportFile(BackupPath().c_str()), 1);
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\Fixture\\Deep", &after));
    EXPECT_EQ(CompareSnapshots(before, after), "");
}

TEST_F(RegistryBackupTest, AKeyThatCannotBeReadIsLeftOutAndItsItemIsNotBackedUp)
{
    ASSERT_TRUE(WriteBackupFixture(HKEY_CURRENT_USER, kFixture));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Locked\\Inner", "v", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Locked", "v", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "Software\\After", "v", "x"));
    CDeniedKey locked(HKEY_CURRENT_USER, "Software\\Fixture\\Locked", "KA");
    ASSERT_TRUE(locked.IsActive());

    CRecordingStatus status;
    CRegistryManager manager(&status);
    ASSERT_EQ(manager.ExportRegistry(BackupPath().c_str()), 1);
    EXPECT_EQ(manager.GetSkippedCount(), 1);
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 5);

    bool balanced = false;
    const auto paths = KeyPathsIn(BackupPath(), &balanced);
    EXPECT_TRUE(balanced);
    auto has = [&](const std::string& path) { return std::find(paths.begin(), paths.end(), path) != paths.end(); };
    EXPECT_FALSE(has("HKEY_CURRENT_USER\\Software\\Fixture\\Locked"));
    // The keys after it are its siblings, not its children, and the other roots follow.
    EXPECT_TRUE(has("HKEY_CURRENT_USER\\Software\\Fixture\\Only empty default"));
    EXPECT_TRUE(has("HKEY_LOCAL_MACHINE\\Software\\After"));
    for (const char* root : {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"})
        EXPECT_TRUE(has(root)) << root;

    // A partial backup of an item above it, or of the key itself, is not whole; one beside it is.
    CFakeScanItems items({{kFixtureText, false},
                          {"HKEY_CURRENT_USER\\Software\\Fixture\\Locked\xAC" "v", false},
                          {"HKEY_CURRENT_USER\\Software\\Fixture\\Deep", false}});
    ASSERT_EQ(manager.ExportItems(BackupPath().c_str(), &items), 1);
    EXPECT_FALSE(manager.IsItemBackedUp(kFixtureText));
    EXPECT_FALSE(manager.IsItemBackedUp("HKEY_CURRENT_USER\\Software\\Fixture\\Locked\xAC" "v"));
    EXPECT_TRUE(manager.IsItemBackedUp("HKEY_CURRENT_USER\\Software\\Fixture\\Deep"));
}

TEST_F(RegistryBackupTest, ALinkKeyWhoseTargetIsMissingIsNotTakenForAKeyThatVanished)
{
    // Opened the ordinary way, a link to nowhere answers "not found", as a key deleted since
    // it was listed does; but it is there, and the backup cannot hold it.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture", "v", "x"));
    const CLinkKey link(HKEY_CURRENT_USER, "Software\\Fixture\\Link",
                        "\\Registry\\Machine\\Software\\KelvaraTestsNoSuchKey\\Missing");
    ASSERT_TRUE(link.Created());
    ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Fixture\\Link"));

    CRegistryManager manager(nullptr);
    CFakeScanItems items({{kFixtureText, false}});
    ASSERT_EQ(manager.ExportItems(BackupPath().c_str(), &items), 1);
    EXPECT_EQ(manager.GetSkippedKeyCount(), 1);
    EXPECT_FALSE(manager.IsItemBackedUp(kFixtureText));
}

TEST_F(RegistryBackupTest, KeysDeeperThanARestoreTakesAreLeftOutOfTheBackup)
{
    // One level more than a restore takes, each created below the one before.
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kFixture, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (int level = 3; level <= CRegistryManager::kMaxKeyDepth + 1; ++level) {
        HKEY child = nullptr;
        const LONG created =
            ::RegCreateKeyExW(key, L"L", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
        ::RegCloseKey(key);
        if (created != ERROR_SUCCESS)
            GTEST_SKIP() << "this registry nests no deeper than " << level - 1 << " levels";
        key = child;
    }
    ::RegCloseKey(key);

    CRegistryManager manager(nullptr);
    CFakeScanItems items({{kFixtureText, false}});
    ASSERT_EQ(manager.ExportItems(BackupPath().c_str(), &items), 1);
    EXPECT_EQ(manager.GetSkippedCount(), 1);
    EXPECT_FALSE(manager.IsItemBackedUp(kFixtureText));
    // What was written is a backup that a restore takes whole.
    ASSERT_EQ(::SHDeleteKeyW(HKEY_CURRENT_USER, kFixture), ERROR_SUCCESS);
    EXPECT_EQ(manager.ImportFile(BackupPath().c_str()), 1) << manager.GetRestoreResult().Error.Str();
    EXPECT_EQ(manager.GetRestoreResult().KeysRestored, CRegistryManager::kMaxKeyDepth);
}

TEST_F(RegistryBackupTest, AStoppedExportReportsFailure)
{
    CRecordingStatus status;
    CRegistryManager manager(&status);
    status.onProgress = [&](int phase) {
        if (phase == PROGRESS_STEP)
            manager.Cancel();
    };
    EXPECT_EQ(manager.ExportRegistry(BackupPath().c_str()), 0);
    EXPECT_EQ(manager.IsContinuing(), 0);
}

TEST_F(RegistryBackupTest, AFileThatCannotBeWrittenIsAFailedExport)
{
    const std::string path = m_folder.PathOf("no such folder\\backup.rbk");
    CRegistryManager manager(nullptr);
    CFakeScanItems items({{kFixtureText, false}});
    EXPECT_EQ(manager.ExportItems(path.c_str(), &items), 0);
    EXPECT_EQ(manager.ExportRegistry(path.c_str()), 0);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(RegistryBackupTest, RestoreGoesOnPastAKeyItCannotWriteAndNamesIt)
{
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, "Software\\Locked"));
    CDeniedKey locked(HKEY_CURRENT_USER, "Software\\Locked", "KA");
    ASSERT_TRUE(locked.IsActive());
    CRecordingStatus status;
    EXPECT_EQ(Restore("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      " <registry>\r\n"
                      "  <k name=\"HKEY_CURRENT_USER\">\r\n"
                      "   <k name=\"Software\">\r\n"
                      "    <k name=\"Locked\">\r\n"
                      "     <v name=\"lost\" value=\"x\"/>\r\n"
                      "     <k name=\"Inner\">\r\n"
                      "      <v name=\"lost too\" value=\"x\"/>\r\n"
                      "     </k>\r\n"
                      "    </k>\r\n"
                      "    <k name=\"After\">\r\n"
                      "     <v name=\"good\" value=\"0x0000001e (30)\" type=\"REG_DWORD\"/>\r\n"
                      "    </k>\r\n"
                      "   </k>\r\n"
                      "  </k>\r\n"
                      " </registry>\r\n",
                      &status),
              0);
    const _RESTORE_RESULT& result = m_manager->GetRestoreResult();
    EXPECT_TRUE(result.Error.IsEmpty());
    EXPECT_EQ(result.KeysRestored, 2);  // Software, After
    EXPECT_EQ(result.KeysFailed, 1);
    EXPECT_EQ(result.KeysSkipped, 1);
    EXPECT_EQ(result.ValuesRestored, 1);
    EXPECT_EQ(result.ValuesFailed, 0);
    EXPECT_EQ(result.ValuesSkipped, 2);
    ASSERT_EQ(result.FailedKeys.size(), 1u);
    EXPECT_EQ(result.FailedKeys[0], "HKEY_CURRENT_USER\\Software\\Locked");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\After", "good"));

    const auto items = status.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "HKEY_CURRENT_USER\\Software\\Locked");
    EXPECT_EQ(items[0].value, ITEM_NOT_DONE);
    const auto activities = status.EventsOf(StatusEvent::Activity);
    ASSERT_EQ(activities.size(), 1u);
    EXPECT_EQ(activities[0].area, ACTIVITY_RESTORE);
    EXPECT_EQ(activities[0].text, "Restored 2 keys and 1 values. Not restored: 1 keys and 0 values. Skipped below "
                                  "them: 1 keys and 2 values.");
}

TEST_F(RegistryBackupTest, RefusesEveryCutOfAFileBeforeWritingAnything)
{
    const std::string valid = kValidDocument;
    ASSERT_EQ(Restore(valid), 1);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");
    // Every cut short of the last end tag, inside a tag or a value or between lines.
    const size_t complete = valid.rfind('>') + 1;
    for (size_t length = 0; length < complete; ++length)
        ExpectRefused(valid.substr(0, length), "cut to " + std::to_string(length) + " bytes");
}

TEST_F(RegistryBackupTest, AFlippedByteInTheMarkupIsRefusedOrChangesNothing)
{
    ASSERT_EQ(Restore(kValidDocument), 1);
    RegistrySnapshot expected;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software", &expected));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");

    const std::string valid = kValidDocument;
    bool quoted = false;
    int refused = 0;
    for (size_t at = 0; at < valid.size(); ++at) {
        const bool quote = valid[at] == '"';
        // The texts between quotes are data: a flip there is a different value, not damage.
        if (quoted && !quote)
            continue;
        for (const char mask : {'\x01', '\x20'}) {
            std::string damaged = valid;
            damaged[at] = static_cast<char>(damaged[at] ^ mask);
            SCOPED_TRACE("byte " + std::to_string(at) + " ^ " + std::to_string(mask));
            if (Restore(damaged) == 1) {
                RegistrySnapshot restored;
                ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software", &restored));
                EXPECT_EQ(CompareSnapshots(expected, restored), "");
            } else {
                ++refused;
                EXPECT_TRUE(IsEmptyKey(HKEY_CURRENT_USER)) << "something was written";
                EXPECT_FALSE(m_manager->GetRestoreResult().Error.IsEmpty());
            }
            ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");
        }
        if (quote)
            quoted = !quoted;
    }
    EXPECT_GT(refused, 300);
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(RegistryBackupTest, RefusesStructuralDamageBeforeWritingAnything)
{
    const std::string valid = kValidDocument;
    const std::string value = "     <v name=\"Count\" value=\"0x0000001e (30)\" type=\"REG_DWORD\"/>\r\n";
    auto withValue = [&](const std::string& line) { return Replaced(valid, value, "     " + line + "\r\n"); };
    const char kZeroByte[] = "<v name=\"a\" value=\"b\0c\"/>";
    std::string tooDeep = "<registry><k name=\"HKEY_CURRENT_USER\">";
    for (int level = 0; level <= CRegistryManager::kMaxKeyDepth; ++level)
        tooDeep += "<k name=\"L\">";
    for (int level = 0; level <= CRegistryManager::kMaxKeyDepth + 1; ++level)
        tooDeep += "</k>";
    tooDeep += "</registry>";
    const struct {
        const char* why;
        std::string document;
    } rows[] = {
        {"an end tag left out", Replaced(valid, "      <v name=\"Text\" value=\"&lt;x> &amp; caf\xc3\xa9\"/>\r\n     </k>",
                                          "      <v name=\"Text\" value=\"x\"/>")},
        {"the end tag of another element", Replaced(valid, "     </k>", "     </v>")},
        {"an end tag with a wrong name", Replaced(valid, "    </k>", "    </key>")},
        {"no end of the root element", Replaced(valid, " </registry>\r\n", "")},
        {"an unknown element", withValue("<x name=\"a\"/>")},
        {"an unknown attribute", withValue("<v name=\"a\" value=\"b\" typ=\"REG_DWORD\"/>")},
        {"a repeated attribute", withValue("<v name=\"a\" name=\"b\" value=\"c\"/>")},
        {"an attribute after the end of the element", withValue("<v name=\"a\" value=\"b\"/ type=\"REG_SZ\">")},
        {"a value without its name", withValue("<v value=\"b\"/>")},
        {"a value without its data", withValue("<v name=\"a\"/>")},
        {"a value whose name comes last", withValue("<v value=\"b\" name=\"a\"/>")},
        {"an unknown type", withValue("<v name=\"a\" value=\"b\" type=\"REG_DWORDX\"/>")},
        {"a type without a text form", withValue("<v name=\"a\" value=\"b\" type=\"REG_NONE\"/>")},
        {"invalid hex", withValue("<v name=\"a\" value=\"0g 11\" type=\"REG_BINARY\"/>")},
        {"hex bytes cut", withValue("<v name=\"a\" value=\"0a 1\" type=\"REG_NONE\" encoding=\"hex\"/>")},
        {"hex bytes without a type", withValue("<v name=\"a\" value=\"0a\" encoding=\"hex\"/>")},
        {"an unknown type code", withValue("<v name=\"a\" value=\"0a\" type=\"0x1234\" encoding=\"hex\"/>")},
        {"an unknown encoding", withValue("<v name=\"a\" value=\"0a\" type=\"REG_NONE\" encoding=\"base64\"/>")},
        {"a DWORD whose decimal differs", withValue("<v name=\"a\" value=\"0x0000001e (31)\" type=\"REG_DWORD\"/>")},
        {"a DWORD too short", withValue("<v name=\"a\" value=\"0x1e\" type=\"REG_DWORD\"/>")},
        {"a DWORD without 0x", withValue("<v name=\"a\" value=\"000000001e\" type=\"REG_DWORD\"/>")},
        {"a QWORD with more after it", withValue("<v name=\"a\" value=\"0x0000000000000001 (1)\" type=\"REG_QWORD\"/>")},
        {"a bad literal mark", withValue("<v name=\"(Default)\" value=\"b\" literal=\"yes\"/>")},
        {"a key under the root element that is no root", Replaced(valid, "HKEY_CURRENT_USER", "Software")},
        {"a key name with a backslash", Replaced(valid, "\"Inner\"", "\"In\\ner\"")},
        {"an empty key name", Replaced(valid, "\"Inner\"", "\"\"")},
        {"a key without a name", Replaced(valid, "<k name=\"Inner\">", "<k>")},
        {"a value directly in the root element", Replaced(valid, "  <k name=\"HKEY_CURRENT_USER\">\r\n",
                                                         "  <v name=\"a\" value=\"b\"/>\r\n  <k name=\"HKEY_CURRENT_USER\">\r\n")},
        {"a value holding a key", withValue("<v name=\"a\" value=\"b\"><k name=\"c\"/></v>")},
        {"a second root element", valid + "<registry/>\r\n"},
        {"text between elements", withValue("stray text")},
        {"a CDATA section", withValue("<![CDATA[x]]>")},
        {"a declaration inside", withValue("<?xml version=\"1.0\"?>")},
        {"a second declaration", "<?xml version=\"1.0\"?>\r\n" + valid},
        {"an encoding other than UTF-8", Replaced(valid, "UTF-8", "ISO-8859-1")},
        {"bytes that are not UTF-8", withValue("<v name=\"caf\xe9\" value=\"b\"/>")},
        {"an overlong UTF-8 form", withValue("<v name=\"a\xc0\xaf\" value=\"b\"/>")},
        {"a zero byte", withValue(std::string(kZeroByte, sizeof(kZeroByte) - 1))},
        {"an unknown entity", withValue("<v name=\"a\" value=\"&amq;\"/>")},
        {"a bare ampersand", withValue("<v name=\"a\" value=\"a & b\"/>")},
        {"a reference to no character", withValue("<v name=\"a\" value=\"&#0;\"/>")},
        {"a reference beyond Unicode", withValue("<v name=\"a\" value=\"&#x110000;\"/>")},
        {"a long run of ampersands", withValue("<v name=\"a\" value=\"" + std::string(600000, '&') + "\"/>")},
        {"keys nested too deeply", tooDeep},
        {"an empty file", ""},
        {"only the declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"},
        {"text before the first element", "registry" + valid},
    };
    for (const auto& row : rows)
        ExpectRefused(row.document, row.why);
    EXPECT_TRUE(m_messages.Texts().empty());

    CRecordingStatus status;
    CRegistryManager manager(&status);
    EXPECT_EQ(manager.ImportFile(m_folder.PathOf("missing.rbk").c_str()), 0);
    EXPECT_EQ(manager.GetRestoreResult().Error, "The backup file cannot be read");
    EXPECT_EQ(status.EventsOf(StatusEvent::Activity).size(), 1u);
}

TEST_F(RegistryBackupTest, AcceptsWhatIsValidBesideTheWritersOwnForm)
{
    ASSERT_EQ(Restore(kValidDocument), 1);
    RegistrySnapshot expected;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software", &expected));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");
    std::string lineFeeds = kValidDocument;
    lineFeeds.erase(std::remove(lineFeeds.begin(), lineFeeds.end(), '\r'), lineFeeds.end());
    const std::string valid = kValidDocument;
    const struct {
        const char* why;
        std::string document;
    } rows[] = {
        {"a byte-order mark", "\xEF\xBB\xBF" + valid},
        {"white space before the first element", "\r\n\r\n  \t" + valid},
        {"no declaration", valid.substr(valid.find(" <registry>"))},
        {"line feeds alone", lineFeeds},
        {"comments", Replaced(valid, "     <k name=\"Empty\"/>", "     <!-- a\r\n comment -->\r\n     <k name=\"Empty\"/>")},
        {"names in capitals", Replaced(Replaced(valid, "<k name=\"Empty\"/>", "<K NAME=\"Empty\"/>"), "</registry>",
                                       "</REGISTRY>")},
        {"an empty key written with its end tag", Replaced(valid, "<k name=\"Empty\"/>", "<k name=\"Empty\"></k>")},
        {"values in apostrophes", Replaced(valid, "value=\"abc\"", "value='abc'")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(Restore(row.document), 1) << m_manager->GetRestoreResult().Error.Str();
        RegistrySnapshot restored;
        ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software", &restored));
        EXPECT_EQ(CompareSnapshots(expected, restored), "");
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");
    }
}

TEST_F(RegistryBackupTest, ReadsFilesInTheOlderTextForm)
{
    // Written by hand the way older backups look: any case for names, no "type" for text,
    // line breaks standing in the file as they are (also at the start of a value and as blank
    // lines), a type written before the value (and so lost), names in the code page's UTF-8.
    ASSERT_EQ(Restore("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      " <REGISTRY>\r\n"
                      "  <K NAME=\"hkey_current_user\">\r\n"
                      "   <k name=\"Software\">\r\n"
                      "    <k name=\"Old &amp; &quot;x&quot; &lt;y>\">\r\n"
                      "     <v name=\"(default)\" value=\"unnamed\"/>\r\n"
                      "     <V Name=\"dword as text\" Value=\"0x00000002 (2)\"/>\r\n"
                      "     <v name=\"multi\" value=\"a\r\n\r\nb\" type=\"REG_MULTI_SZ\"/>\r\n"
                      "     <v name=\"leading break\" value=\"\r\nabc\r\n\"/>\r\n"
                      "     <v name=\"blank lines\" value=\"a\r\n\r\n\r\nb\"/>\r\n"
                      "     <v name=\"lost type\" type=\"REG_DWORD\" value=\"0x00000002 (2)\"/>\r\n"
                      "     <v name=\"empty type\" value=\"x\" type=\"\"/>\r\n"
                      "     <v name=\"control\" value=\"a\x1a" "b\"/>\r\n"
                      "     <v name=\"apostrophe\" value='it\"s'/>\r\n"
                      "     <v name=\"caf\xc3\xa9\" value=\"\xc3\xa9t\xc3\xa9\"/>\r\n"
                      "    </k>\r\n"
                      "   </k>\r\n"
                      "  </K>\r\n"
                      " </REGISTRY>\r\n"),
              1)
        << m_manager->GetRestoreResult().Error.Str();
    RegistrySnapshot restored;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\Old & \"x\" <y>", &restored));
    auto& values = restored[L""];
    EXPECT_EQ(values[L""].data, Wide(L"unnamed", 8));
    EXPECT_EQ(values[L"dword as text"].type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(values[L"dword as text"].data, Wide(L"0x00000002 (2)", 15));
    EXPECT_EQ(values[L"multi"].data, Wide(L"a\0\0b\0\0", 6));
    EXPECT_EQ(values[L"leading break"].data, Wide(L"\r\nabc\r\n", 8));
    EXPECT_EQ(values[L"blank lines"].data, Wide(L"a\r\n\r\n\r\nb", 9));
    EXPECT_EQ(values[L"lost type"].type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(values[L"empty type"].type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(values[L"control"].data, Wide(L"a\x1a" L"b", 4));
    EXPECT_EQ(values[L"apostrophe"].data, Wide(L"it\"s", 5));
    EXPECT_EQ(values[L"caf\xe9"].data, Wide(L"\xe9t\xe9", 4));
}

TEST_F(RegistryBackupTest, ARestoreReportsOneStepPerFifteenHundredNodes)
{
    for (int i = 0; i < 400; ++i)
        ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, "Software\\Fixture\\Many", ("v" + std::to_string(i)).c_str(), i));
    CRegistryManager writer(nullptr);
    CFakeScanItems items({{"HKEY_CURRENT_USER\\Software\\Fixture\\Many", false}});
    ASSERT_EQ(writer.ExportItems(BackupPath().c_str(), &items), 1);
    int nodes = 0;
    CXmlReader counter;
    counter.SetFileName(BackupPath().c_str());
    while (counter.Read())
        ++nodes;
    counter.Close();
    ASSERT_GE(nodes, 3000);

    // Counted per restore: a second restore of the same file reports the same steps.
    for (int round = 0; round < 2; ++round) {
        CRecordingStatus status;
        CRegistryManager reader(&status);
        ASSERT_EQ(reader.ImportFile(BackupPath().c_str()), 1);
        EXPECT_EQ(status.CountProgress(PROGRESS_STEP), nodes / 1500);
    }
}
