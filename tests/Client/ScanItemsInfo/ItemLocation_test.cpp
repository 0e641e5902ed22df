// Which item texts name one registry entry: the identity that exclusions, the ignore list, the
// results tree and every count go by.
#include <gtest/gtest.h>

#include "ItemLocation.h"
#include "VexaEngine.h"

namespace {

const char kSid[] = "S-1-5-21-11-22-33-1000";
#define RUN "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"

} // namespace

TEST(ItemLocation, TextsThatNameOneEntryAndTextsThatDoNot)
{
    const CItemLocation locations(kSid);
    const struct {
        const char* a;
        int categoryA;
        const char* b;
        int categoryB;
        bool same;
    } rows[] = {
        // The current user, as HKEY_CURRENT_USER and under HKEY_USERS; other users are not.
        { "HKEY_CURRENT_USER" RUN "\xACTool", SCAN_SUI, "HKEY_USERS\\S-1-5-21-11-22-33-1000" RUN "\xACTool", SCAN_FPR, true },
        { "HKEY_CURRENT_USER" RUN "\xACTool", SCAN_SUI, "HKEY_USERS\\s-1-5-21-11-22-33-1000" RUN "\xACTool", SCAN_FPR, true },
        { "HKEY_CURRENT_USER" RUN "\xACTool", SCAN_SUI, "HKEY_USERS\\S-1-5-21-11-22-33-1001" RUN "\xACTool", SCAN_FPR, false },
        { "HKEY_CURRENT_USER" RUN "\xACTool", SCAN_SUI, "HKEY_USERS\\S-1-5-21-11-22-33-10001" RUN "\xACTool", SCAN_FPR, false },
        { "HKEY_CURRENT_USER" RUN "\xACTool", SCAN_SUI, "HKEY_USERS\\.DEFAULT" RUN "\xACTool", SCAN_FPR, false },
        { "HKEY_LOCAL_MACHINE" RUN "\xACTool", SCAN_SUI, "HKEY_CURRENT_USER" RUN "\xACTool", SCAN_SUI, false },
        // Key paths and value names ignore letter case; roots may be spelt short.
        { "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\xACTool", SCAN_SUI,
          "HKEY_LOCAL_MACHINE\\Software\\microsoft\\windows\\currentversion\\RUN\xACtOOL", SCAN_FPR, true },
        { "HKLM\\Software\\X", 0, "hkey_local_machine\\SOFTWARE\\x", 0, true },
        { "HKEY_CURRENT_USER\\Software\\A\\", 0, "HKEY_CURRENT_USER\\Software\\A", 0, true },
        // The merged classes root and the stores it shows.
        { "HKEY_CLASSES_ROOT\\CLSID\\{1}", SCAN_AXO, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}", SCAN_FPR, true },
        { "HKEY_CLASSES_ROOT\\.txt", SCAN_FAS, "HKEY_CURRENT_USER\\Software\\Classes\\.TXT", SCAN_FPR, true },
        { "HKEY_CLASSES_ROOT\\.txt", SCAN_FAS, "HKEY_USERS\\S-1-5-21-11-22-33-1000\\Software\\Classes\\.txt", SCAN_FPR, true },
        { "HKEY_CLASSES_ROOT\\.txt", SCAN_FAS, "HKEY_USERS\\S-1-5-21-11-22-33-1000_Classes\\.txt", SCAN_FPR, true },
        { "HKEY_CLASSES_ROOT\xAC" "Name", 0, "HKEY_LOCAL_MACHINE\\Software\\Classes\xACname", 0, true },
        { "HKEY_CLASSES_ROOT\\CLSID", 0, "HKEY_LOCAL_MACHINE\\Software\\ClassesX\\CLSID", 0, false },
        { "HKEY_CLASSES_ROOT\\CLSID", 0, "HKEY_USERS\\S-1-5-21-11-22-33-1001_Classes\\CLSID", 0, false },
        // A value is not the key of the same spelling; the first separator splits key and value,
        // as the repair splits them.
        { "HKEY_CURRENT_USER\\Software\\A\\B", 0, "HKEY_CURRENT_USER\\Software\\A\xAC" "B", 0, false },
        { "HKEY_CURRENT_USER\\Software\\A\xAC" "B\xAC" "C", 0, "HKCU\\software\\a\xAC" "b\xAC" "c", 0, true },
        { "HKEY_CURRENT_USER\\Software\\A\xAC" "B\xAC" "C", 0, "HKEY_CURRENT_USER\\Software\\A\xAC" "B", 0, false },
        { "HKEY_CURRENT_USER\\Software\\A\\B\xAC" "C", 0, "HKEY_CURRENT_USER\\Software\\A\xAC" "B\xAC" "C", 0, false },
        // The file-reference scan's "(Default)" is the unnamed value; elsewhere it is a name.
        { "HKEY_CURRENT_USER" RUN "\xAC", SCAN_SUI, "HKEY_USERS\\S-1-5-21-11-22-33-1000" RUN "\xAC(Default)", SCAN_FPR, true },
        { "HKEY_CURRENT_USER" RUN "\xAC", SCAN_SUI, "HKEY_CURRENT_USER" RUN "\xAC(Default)", SCAN_SUI, false },
        // Files compare without letter case; other texts are their own identity.
        { "C:\\Windows\\Gone.lnk", SCAN_SRC, "c:\\windows\\gone.LNK", SCAN_SRC, true },
        { "\\\\server\\share\\Gone.lnk", SCAN_SRC, "\\\\SERVER\\share\\gone.lnk", SCAN_SRC, true },
        { "C:\\Windows\\Gone.lnk", SCAN_SRC, "C:\\Windows\\Gone2.lnk", SCAN_SRC, false },
        { "SpyName", 0, "spyname", 0, false },
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.same, locations.IdentityOf(row.a, row.categoryA) == locations.IdentityOf(row.b, row.categoryB))
            << row.a << " / " << row.b;
    }
}

TEST(ItemLocation, TheCurrentUserIsTheTokensUser)
{
    const CString sid = CItemLocation::CurrentUserSid();
    ASSERT_EQ(0, sid.Find("S-1-"));
    const CItemLocation locations;
    EXPECT_EQ(locations.IdentityOf("HKEY_CURRENT_USER\\Software\\A", 0),
              locations.IdentityOf("HKEY_USERS\\" + sid + "\\Software\\A", 0));
    EXPECT_TRUE(CItemLocation::IsRegistryText("HKEY_USERS"));
    EXPECT_FALSE(CItemLocation::IsRegistryText("HKEY_USERSX\\a"));
    EXPECT_FALSE(CItemLocation::IsRegistryText("C:\\a"));
}
