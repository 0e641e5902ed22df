// Registry access by text path, against a sandboxed registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KeyAccess.h"
#include "Registry/RegistryManager.h"
#include "RegistrySandbox.h"

namespace {

const char kBase[] = "Software\\KelvaraRegistryTest";

class RegistryManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_sandbox.IsActive()); }
    CRegistrySandbox m_sandbox;
    CRegistryManager m_manager{nullptr};
};

std::string Key(const std::string& relative)
{
    return std::string(kBase) + "\\" + relative;
}

std::vector<_REGISTRY_VALUE> ListValues(const std::string& key)
{
    std::vector<_REGISTRY_VALUE> values;
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        CRegistryManager(nullptr).EnumValues(handle, &values);
        ::RegCloseKey(handle);
    }
    return values;
}

// Creates a path one key at a time, each relative to the one above, so no call sees the whole
// path at once.
bool CreateKeyChain(const std::string& path)
{
    HKEY current = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_ALL_ACCESS, &current) != ERROR_SUCCESS)
        return false;
    size_t start = 0;
    bool ok = true;
    while (ok && start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        HKEY next = nullptr;
        ok = ::RegCreateKeyExA(current, path.substr(start, end - start).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, &next, nullptr) == ERROR_SUCCESS;
        ::RegCloseKey(current);
        current = next;
        start = end + 1;
    }
    if (current)
        ::RegCloseKey(current);
    return ok;
}

std::string Text(const std::vector<BYTE>& data)
{
    return std::string(data.begin(), data.end());
}

} // namespace

TEST_F(RegistryManagerTest, DeleteKeyRemovesTheKeyWithEverySubkeyAndLeavesItsSiblings)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, Key("Gone\\A\\B").c_str(), "v", "x"));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, Key("Gone\\C").c_str()));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, Key("Gone2").c_str()));

    EXPECT_EQ(m_manager.DeleteKey(("hkey_current_user\\" + Key("Gone")).c_str()), 1);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Key("Gone").c_str()));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Key("Gone2").c_str()));
    // Gone already: still a success.
    EXPECT_EQ(m_manager.DeleteKey(("HKEY_CURRENT_USER\\" + Key("Gone")).c_str()), 1);
}

TEST_F(RegistryManagerTest, DeleteKeyNeverTouchesARootOrAnUnknownRoot)
{
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, kBase));
    for (const char* text : {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER\\\\", "HKCU\\Software",
                             "\\Software", ""}) {
        EXPECT_EQ(m_manager.DeleteKey(text), 0) << text;
    }
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kBase));
}

TEST_F(RegistryManagerTest, DeleteKeyRemovesATreeDeeperThanAnyPathCouldName)
{
    // No text path reaches the leaves of this tree (Wine refuses paths this long, and a path
    // built into a fixed buffer would be cut): the delete must work from key to key.
    std::string deep = Key("Deep");
    for (int level = 0; level < 12; ++level)
        deep += "\\" + std::string(60, static_cast<char>('a' + level));
    ASSERT_TRUE(CreateKeyChain(deep));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, Key("Sibling").c_str()));

    EXPECT_EQ(m_manager.DeleteKey(("HKEY_CURRENT_USER\\" + Key("Deep")).c_str()), 1);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Key("Deep").c_str()));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Key("Sibling").c_str()));
}

TEST_F(RegistryManagerTest, DeleteKeyEndsWhenAChildCannotBeDeleted)
{
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, Key("Parent\\Locked\\Inner").c_str()));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, Key("Parent\\Open").c_str()));
    {
        CDeniedKey locked(HKEY_CURRENT_USER, Key("Parent\\Locked").c_str(), "KA");
        ASSERT_TRUE(locked.IsActive());
        EXPECT_EQ(m_manager.DeleteKey(("HKEY_CURRENT_USER\\" + Key("Parent")).c_str()), 0);
    }
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Key("Parent\\Locked\\Inner").c_str()));
    EXPECT_EQ(m_manager.DeleteKey(("HKEY_CURRENT_USER\\" + Key("Parent")).c_str()), 1);
}

TEST_F(RegistryManagerTest, DeleteValueAndKeyExistsTakeTheLastBackslashAsTheValueName)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, Key("V").c_str(), "name", "x"));
    const std::string keyText = "HKEY_CURRENT_USER\\" + Key("V");
    EXPECT_EQ(m_manager.KeyExists(keyText.c_str()), 1);
    EXPECT_EQ(m_manager.KeyExists(("HKLM\\" + Key("V")).c_str()), 0);
    EXPECT_EQ(m_manager.DeleteValue((keyText + "\\").c_str()), 0);
    EXPECT_EQ(m_manager.DeleteValue((keyText + "\\name").c_str()), 1);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, Key("V").c_str(), "name"));
    EXPECT_EQ(m_manager.DeleteValue((keyText + "\\name").c_str()), 0);
}

TEST(RegistryValueText, FormatsEachTypeWithoutReadingPastTheData)
{
    struct Row {
        DWORD type;
        std::vector<BYTE> data;
        const char* text;
    };
    const Row rows[] = {
        {REG_DWORD, {0x1e, 0, 0, 0}, "0x0000001e (30)"},
        {REG_DWORD, {0xff, 0xff, 0xff, 0xff}, "0xffffffff (-1)"},
        {REG_DWORD_BIG_ENDIAN, {0, 0, 0, 0x1e}, "0x0000001e (30)"},
        {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, "0x0807060504030201"},
        {REG_BINARY, {0x0a, 0x1b, 0xff}, "0a 1b ff"},
        {REG_BINARY, {}, ""},
        {REG_MULTI_SZ, {'a', 0, 'b', 0, 0}, "a\r\nb"},
        {REG_SZ, {'a', 'b', 0, 'c'}, "ab"},
        {REG_SZ, {'a', 'b'}, "ab"},
        // Sizes a number or list cannot have: the bytes there are, and no more.
        {REG_DWORD, {0x1e, 0, 0}, "1e 00 00"},
        {REG_QWORD, {1, 2, 3, 4}, "01 02 03 04"},
        {REG_MULTI_SZ, {'a'}, ""},
        {REG_MULTI_SZ, {}, ""},
    };
    for (const Row& row : rows) {
        // Exactly as many bytes as the value holds, so a read past them is a read past the block.
        std::vector<BYTE> exact(row.data);
        EXPECT_EQ(CRegistryManager::FormatValueData(exact.empty() ? nullptr : exact.data(), row.type,
                                                    static_cast<DWORD>(exact.size())),
                  row.text)
            << "type " << row.type << " size " << row.data.size();
    }
}

TEST(RegistryValueText, ParsesEachTypeAndRefusesMalformedText)
{
    struct Row {
        DWORD type;
        const char* text;
        bool parsed;
        std::vector<BYTE> data;
    };
    const Row rows[] = {
        {REG_DWORD, "0x0000001e (30)", true, {0x1e, 0, 0, 0}},
        {REG_DWORD, "0x0000001e", true, {0x1e, 0, 0, 0}},
        {REG_DWORD, "", true, {0, 0, 0, 0}},
        {REG_DWORD, "0x1e", false, {}},
        {REG_DWORD, "0x0000zz1e", false, {}},
        {REG_QWORD, "0x0807060504030201", true, {1, 2, 3, 4, 5, 6, 7, 8}},
        {REG_QWORD, "0x08070605", false, {}},
        {REG_BINARY, "0a 1b ff", true, {0x0a, 0x1b, 0xff}},
        {REG_BINARY, "", true, {0}},
        {REG_BINARY, "0a 1", false, {}},
        {REG_BINARY, "0a-1b", false, {}},
        {REG_BINARY, "0g", false, {}},
        {REG_MULTI_SZ, "a\r\nb", true, {'a', 0, 'b', 0, 0}},
        {REG_MULTI_SZ, "", true, {0}},
        {REG_SZ, "abc", true, {'a', 'b', 'c', 0}},
        {REG_NONE, "abc", false, {}},
    };
    for (const Row& row : rows) {
        std::vector<BYTE> data;
        EXPECT_EQ(CRegistryManager::ParseValueData(row.type, row.text, &data), row.parsed) << row.text;
        if (row.parsed) {
            EXPECT_EQ(data, row.data) << row.text;
        }
    }
}

TEST(RegistryValueText, TypeNamesReadWithoutRegardToCase)
{
    EXPECT_EQ(CRegistryManager::NameToType("reg_dword"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(CRegistryManager::NameToType("REG_NONE"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(CRegistryManager::NameToType(""), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(CRegistryManager::TypeToName(REG_DWORD_BIG_ENDIAN), "REG_DWORD");
    EXPECT_EQ(CRegistryManager::TypeToName(REG_FULL_RESOURCE_DESCRIPTOR), "");
}

TEST_F(RegistryManagerTest, EnumValuesAlwaysListsTheDefaultValue)
{
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, Key("NoDefault").c_str(), "Count", 2));
    auto values = ListValues(Key("NoDefault"));
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].GetName(), "(Default)");
    EXPECT_EQ(values[0].GetData(), "(value not set)");
    EXPECT_EQ(values[1].GetName(), "Count");
    EXPECT_EQ(values[1].GetData(), "0x00000002 (2)");

    ASSERT_TRUE(WriteRegBinary(HKEY_CURRENT_USER, Key("EmptyDefault").c_str(), nullptr, "", 0, REG_SZ));
    values = ListValues(Key("EmptyDefault"));
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].GetData(), "(value not set)");
}

TEST_F(RegistryManagerTest, SetValueWritesTheUnnamedValueForDefaultInAnyCase)
{
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, Key("Set").c_str()));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, Key("Set").c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(CRegistryManager::SetValue("(default)", key, "text", ""), ERROR_SUCCESS);
    EXPECT_EQ(CRegistryManager::SetValue("n", key, "0x0000001e (30)", "REG_DWORD"), ERROR_SUCCESS);
    EXPECT_NE(CRegistryManager::SetValue("bad", key, "0xzz", "REG_DWORD"), ERROR_SUCCESS);
    EXPECT_NE(CRegistryManager::SetValue("n", nullptr, "x", ""), ERROR_SUCCESS);
    ::RegCloseKey(key);

    std::vector<_REGISTRY_RAW_VALUE> raw;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, Key("Set").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    CRegistryManager::EnumRawValues(key, &raw);
    ::RegCloseKey(key);
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_TRUE(raw[0].Unnamed);
    EXPECT_EQ(raw[0].Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw[1].Name, "n");
    EXPECT_EQ(Text(raw[1].Data), std::string("\x1e\0\0\0", 4));
}

TEST_F(RegistryManagerTest, EnumValuesReadsAgainAValueThatGrowsMeanwhile)
{
    // A writer thread keeps growing one value while the key is listed over and over; every
    // listing must still hold it.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, Key("Grow").c_str(), "a", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, Key("Grow").c_str(), "grows", "x"));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, Key("Grow").c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    struct Writer {
        HKEY key;
        volatile LONG stop;
    } writer{key, 0};
    HANDLE thread = ::CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            Writer* w = static_cast<Writer*>(parameter);
            std::vector<BYTE> data(16, 'x');
            while (!w->stop) {
                data.resize(data.size() >= 64 * 1024 ? 16 : data.size() * 2, 'x');
                ::RegSetValueExA(w->key, "grows", 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
            }
            return 0;
        },
        &writer, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    int missing = 0;
    for (int round = 0; round < 500; ++round) {
        std::vector<_REGISTRY_RAW_VALUE> raw;
        CRegistryManager::EnumRawValues(key, &raw);
        bool found = false;
        for (const auto& value : raw)
            found = found || value.Name == "grows";
        missing += found ? 0 : 1;
    }
    writer.stop = 1;
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    ::RegCloseKey(key);
    EXPECT_EQ(missing, 0);
}
