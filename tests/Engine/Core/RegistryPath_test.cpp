#include <gtest/gtest.h>

#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "RegistrySandbox.h"

TEST(RegistryPath, RootNamesAndKeyTexts)
{
    const struct {
        const char* text;
        bool ok;
        HKEY root;
        const char* subKey;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE\\Software\\App", true, HKEY_LOCAL_MACHINE, "Software\\App"},
        {"hkey_current_user\\Software", true, HKEY_CURRENT_USER, "Software"},
        {"HKEY_CLASSES_ROOT\\CLSID\\{X}", true, HKEY_CLASSES_ROOT, "CLSID\\{X}"},
        {"HKEY_USERS\\.DEFAULT", true, HKEY_USERS, ".DEFAULT"},
        {"HKEY_CURRENT_CONFIG\\System", true, HKEY_CURRENT_CONFIG, "System"},
        {"HKEY_CURRENT_USER\\", false, nullptr, ""},  // a root is never a key to work on
        {"HKEY_CURRENT_USER", false, nullptr, ""},
        {"HKLM\\Software", false, nullptr, ""},
        {"\\Software", false, nullptr, ""},
        {"", false, nullptr, ""},
    };
    for (const auto& c : cases) {
        HKEY root = nullptr;
        CString subKey;
        EXPECT_EQ(SplitRegistryKeyText(c.text, &root, &subKey), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(root, c.root) << c.text;
            EXPECT_EQ(subKey, c.subKey) << c.text;
        }
    }
    EXPECT_EQ(RegistryRootFromName(nullptr), nullptr);
    EXPECT_STREQ(RegistryRootName(HKEY_USERS), "HKEY_USERS");
    EXPECT_STREQ(RegistryRootName(reinterpret_cast<HKEY>(0x1234)), "");
}

TEST(RegistryPath, ValueItems)
{
    const CString item = MakeValueItem(HKEY_LOCAL_MACHINE, "Software\\Fonts", "Arial (TrueType)");
    EXPECT_EQ(item, "HKEY_LOCAL_MACHINE\\Software\\Fonts\xAC" "Arial (TrueType)");
    CString key, value;
    ASSERT_TRUE(SplitValueItem(item, &key, &value));
    EXPECT_EQ(key, "HKEY_LOCAL_MACHINE\\Software\\Fonts");
    EXPECT_EQ(value, "Arial (TrueType)");

    // The unnamed value ends in the separator; a value name holding the byte keeps it.
    ASSERT_TRUE(SplitValueItem(MakeValueItem(HKEY_CURRENT_USER, "K", ""), &key, &value));
    EXPECT_EQ(value, "");
    ASSERT_TRUE(SplitValueItem("HKEY_USERS\\K\xAC" "a\xAC" "b", &key, &value));
    EXPECT_EQ(key, "HKEY_USERS\\K");
    EXPECT_EQ(value, "a\xAC" "b");

    EXPECT_FALSE(SplitValueItem("HKEY_USERS\\K", &key, &value));
    EXPECT_FALSE(SplitValueItem("\xAC" "name", &key, &value));
}

TEST(CRegistryKey, ClosesAndMoves)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CRegistryKey key;
    EXPECT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Probe", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_TRUE(key.IsOpen());
    CRegistryKey moved(std::move(key));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_TRUE(moved.IsOpen());
    EXPECT_EQ(moved.Open(HKEY_CURRENT_USER, "Software\\Missing", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(moved.IsOpen());
}
