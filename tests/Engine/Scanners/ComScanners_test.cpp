// Class registrations, references to classes and interface type libraries, on a sandboxed
// HKEY_CLASSES_ROOT.
#include "RegistryScannerTest.h"

#include "Registry/RegistrySubkeyList.h"

namespace {

const char kClass1[] = "{A0000000-0000-0000-0000-000000000001}";
const char kClass2[] = "{A0000000-0000-0000-0000-000000000002}";
const char kClass3[] = "{A0000000-0000-0000-0000-000000000003}";
const char kClass4[] = "{A0000000-0000-0000-0000-000000000004}";
const char kClass5[] = "{A0000000-0000-0000-0000-000000000005}";
const char kClass32[] = "{A0000000-0000-0000-0000-000000000032}";
const char kUnregistered[] = "{A0000000-0000-0000-0000-0000000000FF}";

void RegisterServer(const std::string& classKey, const std::string& server)
{
    WriteRegString(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32").c_str(), "", server.c_str());
}

void PointToClass(const std::string& key, const char* classId)
{
    WriteRegString(HKEY_CLASSES_ROOT, (key + "\\CLSID").c_str(), "", classId);
}

std::string Lower(std::string text)
{
    for (char& ch : text)
        ch = static_cast<char>(::tolower(static_cast<unsigned char>(ch)));
    return text;
}

std::string ClassesItem(const std::string& path)
{
    return "HKEY_CLASSES_ROOT\\" + path;
}

} // namespace

class ActiveXScan : public RegistryScannerTest {};

TEST_F(ActiveXScan, ReportsClassesWithMissingServersAndKeysNamingUnregisteredClasses)
{
    RegisterServer(std::string("CLSID\\") + kClass1, Missing("missing.dll"));
    RegisterServer(std::string("CLSID\\") + kClass2, Present("present.dll"));
    RegisterServer(std::string("CLSID\\") + kClass3, "kernel32.dll");  // found in the system folder
    RegisterServer(std::string("CLSID\\") + kClass4, Missing("server.exe"));  // not a library
    // A named value listed before the unnamed one does not hide it.
    WriteRegString(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClass5 + "\\InprocServer32").c_str(),
                   "ThreadingModel", "Apartment");
    RegisterServer(std::string("CLSID\\") + kClass5, Missing("missing5.ocx"));
    RegisterServer("CLSID\\NamedAlias", Missing("alias.dll"));

    PointToClass("Some.ProgId", kUnregistered);
    PointToClass("Good.ProgId", "{a0000000-0000-0000-0000-000000000002}");
    PointToClass("Deeper\\Nested.ProgId", kUnregistered);
    // The aliases' own trees are judged by their own scanners.
    PointToClass("Interface\\{B0000000-0000-0000-0000-000000000001}", kUnregistered);

    CScannerHarness scanner;
    scanner.ScanActiveX();
    // A class is named by its identifier in lower case, however the registry spells it; an alias
    // keeps its spelling.
    EXPECT_EQ(scanner.SortedFindings(SCAN_AXO),
              Sorted({ClassesItem(std::string("CLSID\\") + Lower(kClass1)),
                      ClassesItem(std::string("CLSID\\") + Lower(kClass5)), ClassesItem("CLSID\\NamedAlias"),
                      ClassesItem("Some.ProgId"), ClassesItem("Deeper\\Nested.ProgId")}));
}

TEST_F(ActiveXScan, ThirtyTwoBitKeysAreJudgedAgainstThirtyTwoBitClasses)
{
    RegisterServer(std::string("CLSID\\") + kClass2, Present("present.dll"));
    RegisterServer(std::string("Wow6432Node\\CLSID\\") + kClass32, Present("present32.dll"));
    PointToClass("Wow6432Node\\Thirty.Good", kClass32);
    PointToClass("Wow6432Node\\Thirty.Native", kClass2);
    PointToClass("Native.Thirty", kClass32);
    PointToClass("Native.Good", kClass2);

    CScannerHarness scanner;
    scanner.ScanActiveX();
    EXPECT_EQ(scanner.SortedFindings(SCAN_AXO),
              Sorted({ClassesItem("Native.Thirty"), ClassesItem("Wow6432Node\\Thirty.Native")}));
}

TEST_F(ActiveXScan, NoClassListNoFindings)
{
    PointToClass("Some.ProgId", kUnregistered);
    CScannerHarness scanner;
    scanner.ScanActiveX();
    EXPECT_TRUE(scanner.Findings(SCAN_AXO).empty());
}

class TypeLibraryScan : public RegistryScannerTest {};

TEST_F(TypeLibraryScan, ReportsInterfacesWhoseLibraryIsNotRegistered)
{
    CreateRegKey(HKEY_CLASSES_ROOT, "TypeLib\\{C0000000-0000-0000-0000-00000000000A}\\1.0");
    const auto library = [](const char* interfaceName, const char* libraryId) {
        WriteRegString(HKEY_CLASSES_ROOT, (std::string("Interface\\") + interfaceName + "\\TypeLib").c_str(), "",
                       libraryId);
    };
    library("{D0000000-0000-0000-0000-000000000001}", "{c0000000-0000-0000-0000-00000000000a}");
    library("{D0000000-0000-0000-0000-000000000002}", "{C0000000-0000-0000-0000-0000000000FF}");
    library("{D0000000-0000-0000-0000-000000000003}", "");
    library("{D0000000-0000-0000-0000-000000000004}", "not a library id");
    library("NoBraces", "{C0000000-0000-0000-0000-0000000000FF}");

    CScannerHarness scanner;
    scanner.ScanTypeLibraries();
    EXPECT_EQ(scanner.Findings(SCAN_ITL),
              std::vector<std::string>{ClassesItem("Interface\\{D0000000-0000-0000-0000-000000000002}")});
}

TEST(SubkeyList, TellsWhenNotEveryIndexCouldBeRead)
{
    CRegistrySandbox sandbox;
    for (const char* name : {"Key\\a", "Key\\b", "Key\\c"})
        ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, name));

    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Key", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<CString> names;
    EXPECT_TRUE(ReadSubkeyNames(key, &names));
    EXPECT_EQ(names.size(), 3u);
    ::RegCloseKey(key);

    // Opened without the right to enumerate: every index fails, none is taken for the end.
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Key", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_FALSE(ReadSubkeyNames(key, &names));
    EXPECT_TRUE(names.empty());
    ::RegCloseKey(key);
}
