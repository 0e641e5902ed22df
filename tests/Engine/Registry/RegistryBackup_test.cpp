// Backup files: export, delete, restore, and compare every byte with the wide registry calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FakeScanItems.h"
#include "MessageBoxRecorder.h"
#include "RecordingStatus.h"
#include "Registry/RegistryManager.h"
#include "RegistrySandbox.h"
#include "RegistrySnapshot.h"
#include "TempFolder.h"

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
