// Safe enumeration and reading of registry keys and values, and the text form of a value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "RegistrySandbox.h"

namespace {

const char kKey[] = "Software\\EnumFixture";

std::string Formatted(DWORD type, const std::vector<BYTE>& data)
{
    CString text;
    FormatRegistryValueText(type, data.data(), static_cast<DWORD>(data.size()), &text);
    return text.GetString();
}

} // namespace

TEST(RegistryEnum, ReadsEveryValueWithATerminatorWhateverWasStored)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    const char unterminated[] = {'a', 'b', 'c'};
    ASSERT_TRUE(WriteRegBinary(HKEY_CURRENT_USER, kKey, "Raw", unterminated, 3, REG_SZ));
    ASSERT_TRUE(WriteRegBinary(HKEY_CURRENT_USER, kKey, "Empty", "", 0, REG_SZ));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, kKey, "Number", 7));
    const std::string longName(255, 'n');
    const std::string bigText(100000, 'x');
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kKey, longName.c_str(), bigText.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kKey, "", "default"));

    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kKey, KEY_QUERY_VALUE));
    CRegistryValueEnum values(key);
    CRegistryValue value;
    std::vector<std::string> seen;
    while (values.Next(&value)) {
        seen.push_back(value.Name.GetString());
        ASSERT_GE(value.Data.size(), value.Length + 2u);
        EXPECT_EQ(0, value.Data[value.Length]);
        EXPECT_EQ(0, value.Data[value.Length + 1]);
        if (value.Name == "Raw") {
            EXPECT_STREQ("abc", value.Text());
        }
        if (value.Name == "Empty") {
            EXPECT_FALSE(value.HasData());
        }
        if (value.Name == "Number") {
            EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.Type);
        }
        if (value.Name == longName.c_str()) {
            EXPECT_EQ(bigText, value.Text().GetString());
        }
        if (value.Name.IsEmpty()) {
            EXPECT_STREQ("default", value.Text());
        }
    }
    EXPECT_EQ(5u, seen.size());
    // The end is final: a further call stays at the end.
    EXPECT_FALSE(values.Next(&value));
}

TEST(RegistryEnum, ListsSubkeysAndStopsCleanlyOnAnythingButAKey)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    for (const char* name : {"A", "B", "C"})
        ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, (std::string(kKey) + "\\" + name).c_str()));

    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kKey, KEY_ENUMERATE_SUB_KEYS));
    CRegistrySubkeyEnum subkeys(key);
    CString name;
    std::string names;
    while (subkeys.Next(&name))
        names += name.GetString();
    EXPECT_EQ("ABC", names);

    // A key opened without enumeration rights answers with an error, never "no more items".
    CRegistryKey denied;
    ASSERT_EQ(ERROR_SUCCESS, denied.Open(HKEY_CURRENT_USER, kKey, KEY_SET_VALUE));
    CRegistrySubkeyEnum refused(denied);
    EXPECT_FALSE(refused.Next(&name));
    CRegistrySubkeyEnum none(nullptr);
    EXPECT_FALSE(none.Next(&name));
    CRegistryValueEnum noValues(nullptr);
    CRegistryValue value;
    EXPECT_FALSE(noValues.Next(&value));
}

TEST(RegistryEnum, ReadsSingleValuesByType)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kKey, "Text", "hello"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kKey, "Expand", "%WinDir%", REG_EXPAND_SZ));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, kKey, "Number", 0x1234));

    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kKey, KEY_QUERY_VALUE));
    CString text;
    EXPECT_TRUE(ReadRegistryString(key, "Text", &text));
    EXPECT_STREQ("hello", text);
    EXPECT_TRUE(ReadRegistryString(key, "Expand", &text));
    EXPECT_STREQ("%WinDir%", text);
    EXPECT_FALSE(ReadRegistryString(key, "Number", &text));
    EXPECT_FALSE(ReadRegistryString(key, "Missing", &text));
    DWORD number = 0;
    EXPECT_TRUE(ReadRegistryDword(key, "Number", &number));
    EXPECT_EQ(0x1234u, number);
    EXPECT_FALSE(ReadRegistryDword(key, "Text", &number));
    CRegistryValue value;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRegistryValue(key, "Missing", &value));
}

TEST(RegistryValueText, WritesEachTypeInItsTextForm)
{
    std::vector<BYTE> bytes23;
    for (int i = 1; i <= 23; ++i)
        bytes23.push_back(static_cast<BYTE>(i));
    std::string list23;
    for (int i = 1; i <= 22; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%02x,", i);
        list23 += hex;
    }
    list23 += "\\\n17,\n";

    struct Row {
        DWORD type;
        std::vector<BYTE> data;
        std::string text;
    };
    const Row rows[] = {
        {REG_SZ, {'a', 'b', 0}, "ab"},
        {REG_SZ, {'a', 'b', 'c'}, "abc"},
        {REG_DWORD, {0x2b, 0x1a, 0, 0}, "dword:00001a2b\n"},
        {REG_DWORD, {0x2b}, "dword:00000000\n"},
        {REG_BINARY, {1, 2, 3}, "hexvalueinreg--:01,02,03,\n"},
        {REG_BINARY, {}, "hexvalueinreg--:\n"},
        {REG_BINARY, bytes23, "hexvalueinreg--:" + list23},
        {REG_EXPAND_SZ, {'a', 0}, "hexvalueinreg--(2):61,00,\n"},
        {REG_MULTI_SZ, {0xff, 0}, "hexvalueinreg--(7):ff,00,\n"},
        {REG_RESOURCE_REQUIREMENTS_LIST, {0}, "hexvalueinreg--(10):00,\n"},
        {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, ""},
        {REG_NONE, {1}, ""},
        {REG_LINK, {1, 0}, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.text, Formatted(row.type, row.data)) << row.type;
}

TEST(RegistryEnum, ReadsAgainWhenAValueOutgrowsTheBufferItWasGiven)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    const std::string longText(5000, 'y');
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kKey, "A", "short"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kKey, "B", longText.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kKey, "C", "last"));

    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kKey, KEY_QUERY_VALUE));
    // Buffers far smaller than the data, as when a value grows after the key's lengths were read.
    CRegistryValueEnum values(key, 0, 4);
    CRegistryValue value;
    std::vector<std::string> texts;
    while (values.Next(&value))
        texts.push_back(value.Text().GetString());
    EXPECT_EQ((std::vector<std::string>{"short", longText, "last"}), texts);
}

// Some keys of a real registry answer every enumeration with an error and never with "no more
// items" (under Wine the performance-counter text key does): every loop over them must end.
TEST(RegistryEnumRealWorld, EndsOnKeysThatNeverSayNoMoreItems)
{
    CRegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009",
                 KEY_READ) != ERROR_SUCCESS)
        GTEST_SKIP() << "no performance-counter text key here";
    CRegistrySubkeyEnum subkeys(key);
    CString name;
    int count = 0;
    while (subkeys.Next(&name) && count < 100000)
        ++count;
    EXPECT_LT(count, 100000);
    CRegistryValueEnum values(key);
    CRegistryValue value;
    count = 0;
    while (values.Next(&value) && count < 100000)
        ++count;
    EXPECT_LT(count, 100000);
}
