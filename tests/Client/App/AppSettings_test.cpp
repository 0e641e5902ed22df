// The settings key: defaults written on an empty key, the stored-value rules, the last-scan date
// and the Explorer verb that follows the ContextMenu option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppSettings.h"
#include "ContextMenu.h"
#include "Kelvara.h"
#include "RegistrySandbox.h"

namespace {

const char kKey[] = "Software\\Bellwort\\Kelvara";
const char kFileVerb[] = "*\\shell\\Bellwort Registry Reriraz";
const char kFolderVerb[] = "Folder\\shell\\Bellwort Registry Reriraz";

struct STORED_VALUE
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

STORED_VALUE Stored(HKEY root, const char* key, const char* name)
{
    STORED_VALUE value;
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return value;
    // The bytes as stored: no terminator added on the way out.
    BYTE buffer[1024];
    DWORD size = sizeof(buffer);
    if (::RegQueryValueExA(opened, name, nullptr, &value.type, buffer, &size) == ERROR_SUCCESS)
        value.data.assign(buffer, buffer + size);
    ::RegCloseKey(opened);
    return value;
}

STORED_VALUE Dword(DWORD number)
{
    STORED_VALUE value;
    value.type = REG_DWORD;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
    value.data.assign(bytes, bytes + 4);
    return value;
}

// A text as the system stores it: written without its terminator, which the system then adds
// itself (Windows NT does, and Wine as well).
STORED_VALUE Text(const std::string& text)
{
    STORED_VALUE value;
    value.type = REG_SZ;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return value;
}

bool operator==(const STORED_VALUE& a, const STORED_VALUE& b)
{
    return a.type == b.type && a.data == b.data;
}

void PrintTo(const STORED_VALUE& value, std::ostream* out)
{
    *out << "type " << value.type << ", " << value.data.size() << " bytes";
}

} // namespace

TEST(AppSettingsTest, AnEmptyKeyGetsEveryDefaultAndFirstRunLastsOneStart)
{
    CRegistrySandbox sandbox;
    AppSettings first;
    first.Load("C:\\Program Files\\Kelvara\\Kelvara.exe");
    EXPECT_EQ(1u, first.m_bFirstRun);
    EXPECT_EQ(CString("Never"), first.m_strLastScan);
    // Every option off, as stored and as the program goes by it (a start without a stored
    // value must not check for updates, repair or shut down on its own).
    const struct { const char* name; DWORD field; } options[] = {
        { "LogScanSummary", first.m_bLogScanSummary }, { "RestorePoint", first.m_bRestorePoint },
        { "AutoRepair", first.m_bAutoRepair }, { "SoftwareUpdate", first.m_bSoftwareUpdate },
        { "ContextMenu", first.m_bContextMenu }, { "AutoShutdown", first.m_bAutoShutdown },
    };
    for (const auto& option : options) {
        EXPECT_EQ(Dword(0), Stored(HKEY_LOCAL_MACHINE, kKey, option.name)) << option.name;
        EXPECT_EQ(0u, option.field) << option.name;
    }
    EXPECT_EQ(Dword(0), Stored(HKEY_LOCAL_MACHINE, kKey, "FirstRun"));
    // "Never" without its terminating NUL.
    EXPECT_EQ(Text("Never"), Stored(HKEY_LOCAL_MACHINE, kKey, "LastScan"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kFileVerb));

    AppSettings second;
    second.Load("C:\\Program Files\\Kelvara\\Kelvara.exe");
    EXPECT_EQ(0u, second.m_bFirstRun);
}

TEST(AppSettingsTest, StoredValuesCountOnlyWhenExactlyOne)
{
    CRegistrySandbox sandbox;
    const ULONGLONG wide = 1;
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "AutoRepair", 2));
    ASSERT_TRUE(WriteRegBinary(HKEY_LOCAL_MACHINE, kKey, "AutoShutdown", &wide, sizeof(wide), REG_QWORD));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "RestorePoint", 1));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "FirstRun", 7));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kKey, "LastScan", "   "));

    AppSettings settings;
    settings.Load("C:\\Kelvara.exe");
    EXPECT_EQ(0u, settings.m_bAutoRepair);
    EXPECT_EQ(Dword(2), Stored(HKEY_LOCAL_MACHINE, kKey, "AutoRepair"));
    // Eight bytes do not fit the option's four: it counts as missing and is written anew.
    EXPECT_EQ(0u, settings.m_bAutoShutdown);
    EXPECT_EQ(Dword(0), Stored(HKEY_LOCAL_MACHINE, kKey, "AutoShutdown"));
    EXPECT_EQ(1u, settings.m_bRestorePoint);
    EXPECT_EQ(0u, settings.m_bFirstRun);
    EXPECT_EQ(Dword(0), Stored(HKEY_LOCAL_MACHINE, kKey, "FirstRun"));
    // Blank text shows as "Never" and is left as it is.
    EXPECT_EQ(CString("Never"), settings.m_strLastScan);
    EXPECT_EQ(Text("   "), Stored(HKEY_LOCAL_MACHINE, kKey, "LastScan"));
}

TEST(AppSettingsTest, LastScanIsTrimmedAndTooLongATextIsReplaced)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kKey, "LastScan", std::string(300, 'x').c_str()));
    AppSettings settings;
    settings.Load("C:\\Kelvara.exe");
    EXPECT_EQ(CString("Never"), settings.m_strLastScan);
    EXPECT_EQ(Text("Never"), Stored(HKEY_LOCAL_MACHINE, kKey, "LastScan"));

    EXPECT_FALSE(settings.SaveLastScan("   "));
    EXPECT_EQ(Text("Never"), Stored(HKEY_LOCAL_MACHINE, kKey, "LastScan"));
    EXPECT_TRUE(settings.SaveLastScan("  09 December 2026, 01:05AM "));
    EXPECT_EQ(CString("09 December 2026, 01:05AM"), settings.m_strLastScan);
    EXPECT_EQ(Text("09 December 2026, 01:05AM"), Stored(HKEY_LOCAL_MACHINE, kKey, "LastScan"));
}

TEST(AppSettingsTest, TheExplorerVerbFollowsItsOption)
{
    CRegistrySandbox sandbox;
    const CString program = "C:\\Program Files\\Bellwort\\Kelvara.exe";
    const std::string command = "\"C:\\Program Files\\Bellwort\\Kelvara.exe\" \"%1\"";

    // Missing option: written as 0, verbs untouched.
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, (std::string(kFileVerb) + "\\command").c_str(), nullptr, "keep"));
    AppSettings untouched;
    untouched.Load(program);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, kFileVerb));

    // On: both verbs, byte for byte, a path with spaces kept as one argument.
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kKey, "ContextMenu", 1));
    AppSettings on;
    on.Load(program);
    EXPECT_EQ(1u, on.m_bContextMenu);
    for (const char* verb : { kFileVerb, kFolderVerb }) {
        EXPECT_EQ(Text("Scan with Bellwort Registry Reriraz"), Stored(HKEY_CLASSES_ROOT, verb, nullptr)) << verb;
        EXPECT_EQ(Text(command), Stored(HKEY_CLASSES_ROOT, (std::string(verb) + "\\command").c_str(), nullptr));
    }

    // Saved off: both verbs go.
    on.m_bContextMenu = 0;
    on.Save(program);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kFileVerb));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kFolderVerb));
    EXPECT_EQ(Dword(0), Stored(HKEY_LOCAL_MACHINE, kKey, "FirstRun"));
}

TEST(AppSettingsTest, TheProgramPathIsTheModulesFullPath)
{
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, module, sizeof(module));
    EXPECT_EQ(CString(module), GetProgramPath());
    EXPECT_EQ(CString("\"") + module + "\" \"%1\"", ContextMenuCommand(GetProgramPath()));
}

TEST(AppSettingsTest, OnlyWindowsXpTo7StartWithoutAsking)
{
    const struct { DWORD platform, major, minor; int code; } rows[] = {
        { VER_PLATFORM_WIN32_NT, 5, 0, 2 }, { VER_PLATFORM_WIN32_NT, 5, 1, 3 }, { VER_PLATFORM_WIN32_NT, 5, 2, 5 },
        { VER_PLATFORM_WIN32_NT, 6, 0, 4 }, { VER_PLATFORM_WIN32_NT, 6, 1, 6 }, { VER_PLATFORM_WIN32_NT, 6, 2, 0 },
        { VER_PLATFORM_WIN32_NT, 10, 0, 0 }, { VER_PLATFORM_WIN32_WINDOWS, 5, 1, 0 },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.code, OSVersionCode(row.platform, row.major, row.minor)) << row.major << "." << row.minor;
}
