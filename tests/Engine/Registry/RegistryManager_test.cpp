// Registry access by text path, against a sandboxed registry.
#include <gtest/gtest.h>

#include <string>

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

} // namespace

TEST_F(RegistryManagerTest, DeleteKeyRemovesTheKeyWithEverySubkeyAndLeavesItsSiblings)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\KelvaraRegistryTest\\Gone\\A\\B", "v", "x"));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, "Software\\KelvaraRegistryTest\\Gone\\C"));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, "Software\\KelvaraRegistryTest\\Gone2"));

    EXPECT_EQ(m_manager.DeleteKey("hkey_current_user\\Software\\KelvaraRegistryTest\\Gone"), 1);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\KelvaraRegistryTest\\Gone"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\KelvaraRegistryTest\\Gone2"));
    // Gone already: still a success.
    EXPECT_EQ(m_manager.DeleteKey("HKEY_CURRENT_USER\\Software\\KelvaraRegistryTest\\Gone"), 1);
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
