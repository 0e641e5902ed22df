// Backup files: export, delete, restore, and compare every byte with the wide registry calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FakeScanItems.h"
#include "KeyAccess.h"
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

std::vector<BYTE> Bytes(const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + size);
}

std::vector<BYTE> Wide(const wchar_t* text, size_t characters)
{
    return Bytes(text, characters * sizeof(wchar_t));
}

// Whether the system code page carries the text exactly (it decides what a backup can name).
bool CodePageHolds(const wchar_t* text)
{
    char narrow[64];
    BOOL lost = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, narrow, sizeof(narrow), nullptr,
                                             &lost);
    return length > 0 && !lost;
}

struct FixtureValue {
    const wchar_t* key;
    const wchar_t* name;  // null: the unnamed value
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<FixtureValue> FixtureValues()
{
    std::vector<BYTE> huge(1024 * 1024);
    for (size_t i = 0; i < huge.size(); ++i)
        huge[i] = static_cast<BYTE>(i * 7 + (i >> 8));
    const DWORD thirty = 30, minusOne = 0xFFFFFFFF;
    const BYTE bigEndian[] = {0, 0, 0, 0x1e};
    const BYTE qword[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const BYTE small[] = {0x0a, 0x1b, 0xff, 0x00};
    const wchar_t controls[] = L"a\r\nb\rc\nd\x1a" L"e\x01\tf";
    const wchar_t embeddedNul[] = L"before\0after";
    return {
        {kFixture, nullptr, REG_SZ, Wide(L"abc", 4)},
        {kFixture, L"(Default)", REG_SZ, Wide(L"a value really named so", 24)},
        {kFixture, L"none", REG_NONE, Bytes(small, 3)},
        {kFixture, L"none empty", REG_NONE, {}},
        {kFixture, L"sz", REG_SZ, Wide(L"text & \" < > ' &amp; &#13;", 27)},
        {kFixture, L"sz empty", REG_SZ, {}},
        {kFixture, L"sz unterminated", REG_SZ, Wide(L"abc", 3)},
        {kFixture, L"sz odd size", REG_SZ, Bytes("abcde", 5)},
        {kFixture, L"sz controls", REG_SZ, Wide(controls, sizeof(controls) / sizeof(wchar_t))},
        {kFixture, L"sz embedded nul", REG_SZ, Wide(embeddedNul, sizeof(embeddedNul) / sizeof(wchar_t))},
        {kFixture, L"sz beyond the code page", REG_SZ, Wide(L"\x4e00\x4e8c", 3)},
        {kFixture, L"expand", REG_EXPAND_SZ, Wide(L"%SystemRoot%\\x", 15)},
        {kFixture, L"binary", REG_BINARY, Bytes(small, 4)},
        {kFixture, L"binary empty", REG_BINARY, {}},
        {kFixture, L"binary huge", REG_BINARY, huge},
        {kFixture, L"dword", REG_DWORD, Bytes(&thirty, 4)},
        {kFixture, L"dword minus one", REG_DWORD, Bytes(&minusOne, 4)},
        {kFixture, L"dword short", REG_DWORD, Bytes(small, 3)},
        {kFixture, L"dword empty", REG_DWORD, {}},
        {kFixture, L"big endian", REG_DWORD_BIG_ENDIAN, Bytes(bigEndian, 4)},
        {kFixture, L"link", REG_LINK, Wide(L"\\Registry\\Machine\\X", 19)},
        {kFixture, L"multi", REG_MULTI_SZ, Wide(L"a\0b\0", 5)},
        {kFixture, L"multi one terminator", REG_MULTI_SZ, Wide(L"a\0b", 4)},
        {kFixture, L"multi with line breaks", REG_MULTI_SZ, Wide(L"x\r\ny\0z\0", 8)},
        {kFixture, L"multi empty", REG_MULTI_SZ, {}},
        {kFixture, L"multi two zeros", REG_MULTI_SZ, Wide(L"\0", 2)},
        {kFixture, L"resource list", REG_RESOURCE_LIST, Bytes(small, 4)},
        {kFixture, L"full resource", REG_FULL_RESOURCE_DESCRIPTOR, Bytes(small, 4)},
        {kFixture, L"requirements", REG_RESOURCE_REQUIREMENTS_LIST, Bytes(small, 2)},
        {kFixture, L"qword", REG_QWORD, Bytes(qword, 8)},
        {kFixture, L"qword short", REG_QWORD, Bytes(qword, 4)},
        {kFixture, L"unknown type", 0x1234, Bytes(small, 4)},
        {kFixture, L"back\\slash\\name", REG_SZ, Wide(L"v", 2)},
        {kFixture, L"  spaced name  ", REG_SZ, Wide(L" spaced value ", 15)},
        {kFixture, L"q\"a&l<g>a'", REG_SZ, Wide(L"x", 2)},
        {L"Software\\Fixture\\Only empty default", nullptr, REG_SZ, {}},
        {L"Software\\Fixture\\Deep\\Er\\Est", L"leaf", REG_DWORD, Bytes(&thirty, 4)},
        {L"Software\\Fixture\\Key & \"<>' name", L"v", REG_SZ, Wide(L"w", 2)},
        {L"Software\\Fixture\\  spaced key ", L"v", REG_SZ, Wide(L"w", 2)},
    };
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

class RegistryBackupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sandbox.IsActive());
        for (const FixtureValue& value : FixtureValues())
            ASSERT_TRUE(WriteRegValueW(HKEY_CURRENT_USER, value.key, value.name, value.type,
                                       value.data.empty() ? nullptr : value.data.data(),
                                       static_cast<DWORD>(value.data.size())));
        ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, "Software\\Fixture\\Empty"));
    }

    std::string BackupPath() const { return m_folder.PathOf("backup.rbk"); }

    CRegistrySandbox m_sandbox;
    CTempFolder m_folder;
};

} // namespace

TEST_F(RegistryBackupTest, RestoresEveryValueTypeAndNameByteForByte)
{
    const bool wideNamesFit = CodePageHolds(L"\x4e00");
    ASSERT_TRUE(WriteRegValueW(HKEY_CURRENT_USER, kFixture, L"name \x4e00", REG_SZ, L"x", 4));
    ASSERT_TRUE(WriteRegValueW(HKEY_CURRENT_USER, L"Software\\Fixture\\key \x4e00", L"v", REG_SZ, L"x", 4));
    RegistrySnapshot before;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, kFixture, &before));

    CRegistryManager manager(nullptr);
    CFakeScanItems items({{kFixtureText, false}});
    ASSERT_EQ(manager.ExportItems(BackupPath().c_str(), &items), 1);
    EXPECT_EQ(manager.GetSkippedCount(), wideNamesFit ? 0 : 2);

    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kFixture), ERROR_SUCCESS);
    ASSERT_EQ(manager.ImportFile(BackupPath().c_str()), 1) << ReadWholeFile(BackupPath()).substr(0, 4000);
    EXPECT_EQ(manager.GetFailedCount(), 0);

    if (!wideNamesFit) {
        // Names the code page cannot hold are left out, never written under a substitute.
        before[L""].erase(L"name \x4e00");
        before.erase(L"\\key \x4e00");
    }
    RegistrySnapshot after;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, kFixture, &after));
    EXPECT_EQ(CompareSnapshots(before, after), "");
}

TEST(RegistryBackupFormat, WritesTheDocumentLineForLine)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\X", nullptr, "abc"));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, "Software\\X", "Count", 2));
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
              "     <k name=\"Sub\"/>\r\n"
              "    </k>\r\n"
              "   </k>\r\n"
              "  </k>\r\n"
              " </registry>\r\n");
}

TEST_F(RegistryBackupTest, PartialBackupWritesTheKeysOfTheItemsThatAreNotExcluded)
{
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

    bool balanced = false;
    const auto paths = KeyPathsIn(BackupPath(), &balanced);
    EXPECT_TRUE(balanced);
    const std::vector<std::string> expected = {
        // A key named by two items is written twice, each time from its root.
        "HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER\\Software\\Fixture",
        "HKEY_CURRENT_USER\\Software\\Fixture\\Deep", "HKEY_CURRENT_USER\\Software\\Fixture\\Deep\\Er",
        "HKEY_CURRENT_USER\\Software\\Fixture\\Deep\\Er\\Est",
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

TEST_F(RegistryBackupTest, AKeyThatCannotBeReadIsLeftOutAndTheKeysAfterItStayInPlace)
{
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

TEST_F(RegistryBackupTest, RestoreGoesOnPastWhatItCannotWriteAndSaysSo)
{
    const std::string file = m_folder.WriteFile(
        "partly.rbk",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        " <registry>\r\n"
        "  <k name=\"HKEY_NOWHERE\">\r\n"
        "   <k name=\"Software\">\r\n"
        "    <v name=\"lost\" value=\"x\"/>\r\n"
        "   </k>\r\n"
        "  </k>\r\n"
        "  <k name=\"HKEY_CURRENT_USER\">\r\n"
        "   <k name=\"Software\">\r\n"
        "    <k name=\"Restored\">\r\n"
        "     <v name=\"bad\" value=\"0xzz\" type=\"REG_DWORD\"/>\r\n"
        "     <v name=\"unknown\" value=\"00\" type=\"REG_NOTHING\" encoding=\"hex\"/>\r\n"
        "     <v name=\"good\" value=\"0x0000001e (30)\" type=\"REG_DWORD\"/>\r\n"
        "    </k>\r\n"
        "   </k>\r\n"
        "  </k>\r\n"
        " </registry>\r\n");
    CRegistryManager manager(nullptr);
    EXPECT_EQ(manager.ImportFile(file.c_str()), 0);
    EXPECT_EQ(manager.GetFailedCount(), 4);  // the root, its subkey, two values
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Restored", "good"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, "Software\\Restored", "bad"));
}

TEST_F(RegistryBackupTest, RestoreOfAMissingCutOrMalformedFileFails)
{
    CMessageBoxRecorder messages;
    CRegistryManager manager(nullptr);
    EXPECT_EQ(manager.ImportFile(m_folder.PathOf("missing.rbk").c_str()), 0);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());

    const char head[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                        " <registry>\r\n"
                        "  <k name=\"HKEY_CURRENT_USER\">\r\n"
                        "   <k name=\"Software\">\r\n"
                        "    <k name=\"Before\">\r\n"
                        "     <v name=\"v\" value=\"x\"/>\r\n"
                        "    </k>\r\n";
    // Cut after a complete line: what stands before is restored, the restore still fails.
    const std::string cut = m_folder.WriteFile("cut.rbk", head);
    EXPECT_EQ(manager.ImportFile(cut.c_str()), 0);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Before", "v"));

    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, "Software\\Fixture"));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Before");
    const std::string malformed = m_folder.WriteFile("bad.rbk", std::string(head) + "    <k <\r\n");
    EXPECT_EQ(manager.ImportFile(malformed.c_str()), 0);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Before", "v"));
    ASSERT_EQ(CMessageBoxRecorder::Texts().size(), 1u);
    EXPECT_EQ(CMessageBoxRecorder::Texts()[0], "Parse error in line 8 : (Bad '<' symbol)");
}

TEST_F(RegistryBackupTest, ReadsFilesInTheOlderTextForm)
{
    // Written by hand the way older backups look: any case for names, no "type" for text,
    // multi-strings over several lines, a type written before the value (and so lost).
    const std::string file = m_folder.WriteFile(
        "old.rbk",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        " <REGISTRY>\r\n"
        "  <K NAME=\"hkey_current_user\">\r\n"
        "   <k name=\"Software\">\r\n"
        "    <k name=\"Old &amp; &quot;x&quot; &lt;y>\">\r\n"
        "     <v name=\"(default)\" value=\"unnamed\"/>\r\n"
        "     <V Name=\"dword as text\" Value=\"0x00000002 (2)\"/>\r\n"
        "     <v name=\"multi\" value=\"a\r\nb\r\n\" type=\"REG_MULTI_SZ\"/>\r\n"
        "     <v name=\"lost type\" type=\"REG_DWORD\" value=\"0x00000002 (2)\"/>\r\n"
        "     <v name=\"control\" value=\"a\x1a" "b\"/>\r\n"
        "     <v name=\"apostrophe\" value='it\"s'/>\r\n"
        "     <v name=\"caf\xc3\xa9\" value=\"\xc3\xa9t\xc3\xa9\"/>\r\n"
        "    </k>\r\n"
        "   </k>\r\n"
        "  </K>\r\n"
        " </REGISTRY>\r\n");
    CRegistryManager manager(nullptr);
    ASSERT_EQ(manager.ImportFile(file.c_str()), 1);
    RegistrySnapshot restored;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\Old & \"x\" <y>", &restored));
    auto& values = restored[L""];
    EXPECT_EQ(values[L""].data, Wide(L"unnamed", 8));
    EXPECT_EQ(values[L"dword as text"].type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(values[L"dword as text"].data, Wide(L"0x00000002 (2)", 15));
    EXPECT_EQ(values[L"multi"].data, Wide(L"a\0b\0\0", 6));
    EXPECT_EQ(values[L"lost type"].type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(values[L"control"].data, Wide(L"a\x1a" L"b", 4));
    EXPECT_EQ(values[L"apostrophe"].data, Wide(L"it\"s", 5));
    if (CodePageHolds(L"\xe9")) {
        EXPECT_EQ(values[L"caf\xe9"].data, Wide(L"\xe9t\xe9", 4));
    }
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
