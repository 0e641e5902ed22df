// How the registry scanners judge the file an entry names, across scanners: a path that cannot be
// judged is never a finding, and a file followed by its arguments counts as present. Every
// entry kind gets the same rows, with a healthy twin (an existing file) and a broken twin (a
// missing file on the fixed drive) beside the cases that cannot be told.
#include "RegistryScannerTest.h"

#include <functional>
#include <set>

namespace {

const char kUserKey[] = "S-1-5-21-7\\Software\\Vendor";
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// Mapped by the test set-up to a folder of its own; the tests take it for a removable drive.
const char kMediaDrive = 'm';

// One kind of registry entry that names a program: how a row is written, the item it is
// reported as, and the scanner that judges it.
struct EntryKind {
    const char* code;
    DWORD category;
    std::function<void(const std::string& name, const std::string& text)> write;
    std::function<std::string(const std::string& name)> item;
    std::function<void(CScannerHarness&)> scan;
};

std::vector<EntryKind> EntryKinds()
{
    return {
        {"FPR", SCAN_FPR,
         [](const std::string& name, const std::string& text) {
             WriteRegString(HKEY_USERS, kUserKey, name.c_str(), text.c_str());
         },
         [](const std::string& name) { return ValueItem(std::string("HKEY_USERS\\") + kUserKey, name); },
         [](CScannerHarness& scanner) { scanner.ScanFileReferences(); }},
        {"FAS", SCAN_FAS,
         [](const std::string& name, const std::string& text) {
             const std::string className = name + ".class";
             WriteRegString(HKEY_CLASSES_ROOT, ("." + name).c_str(), "", className.c_str());
             WriteRegString(HKEY_CLASSES_ROOT, (className + "\\shell\\open\\command").c_str(), "",
                            (text + " \"%1\"").c_str());
         },
         [](const std::string& name) { return "HKEY_CLASSES_ROOT\\." + name; },
         [](CScannerHarness& scanner) { scanner.ScanFileAssociations(); }},
        {"SRV", SCAN_SRV,
         [](const std::string& name, const std::string& text) {
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kServices) + "\\" + name).c_str(), "ImagePath",
                            text.c_str(), REG_EXPAND_SZ);
         },
         [](const std::string& name) { return std::string("HKEY_LOCAL_MACHINE\\") + kServices + "\\" + name; },
         [](CScannerHarness& scanner) { scanner.ScanServices(); }},
        {"SUI", SCAN_SUI,
         [](const std::string& name, const std::string& text) {
             WriteRegString(HKEY_CURRENT_USER, kRun, name.c_str(), text.c_str());
         },
         [](const std::string& name) { return ValueItem(std::string("HKEY_CURRENT_USER\\") + kRun, name); },
         [](CScannerHarness& scanner) { scanner.ScanStartupItems(); }},
        {"APP", SCAN_APP,
         [](const std::string& name, const std::string& text) {
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + "\\" + name + ".exe").c_str(), "",
                            text.c_str());
         },
         [](const std::string& name) { return std::string("HKEY_LOCAL_MACHINE\\") + kAppPaths + "\\" + name + ".exe"; },
         [](CScannerHarness& scanner) { scanner.ScanAppPaths(); }},
    };
}

struct Row {
    const char* name;
    std::string text;
    bool reported;
};

// A drive letter from d: to p: that the prefix does not map; empty when all are mapped.
std::string UnmappedDrive()
{
    const DWORD drives = ::GetLogicalDrives();
    for (char letter = 'd'; letter <= 'p'; ++letter)
        if (letter != kMediaDrive && !(drives & (1u << (letter - 'a'))))
            return std::string(1, letter) + ":";
    return std::string();
}

std::string ShortPath(const std::string& path)
{
    char shortPath[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(shortPath) : std::string();
}

// A file on the media drive for the length of a test.
class CMediaFile
{
public:
    explicit CMediaFile(const char* name) : m_path(std::string(1, kMediaDrive) + ":\\" + name)
    {
        HANDLE file = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        m_made = file != INVALID_HANDLE_VALUE;
        if (m_made)
            ::CloseHandle(file);
    }
    ~CMediaFile() { ::DeleteFileA(m_path.c_str()); }
    bool Made() const { return m_made; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    bool m_made = false;
};

class ReferenceJudgement : public RegistryScannerTest
{
protected:
    // Writes every row as an entry of each kind (all kinds when codes is empty) and runs each
    // kind's scanner on its own; each scanner must report exactly the rows marked as reported.
    void ExpectFindings(const std::vector<Row>& rows, const std::set<std::string>& codes = {})
    {
        for (const EntryKind& kind : EntryKinds()) {
            if (!codes.empty() && !codes.count(kind.code))
                continue;
            std::vector<std::string> expected;
            for (const Row& row : rows) {
                kind.write(row.name, row.text);
                if (row.reported)
                    expected.push_back(kind.item(row.name));
            }
            CScannerHarness scanner;
            scanner.AssumeDriveType(kMediaDrive, DRIVE_REMOVABLE);
            kind.scan(scanner);
            EXPECT_EQ(scanner.SortedFindings(kind.category), Sorted(expected)) << kind.code;
        }
    }
};

} // namespace

TEST_F(ReferenceJudgement, WhatCannotBeJudgedIsNeverAFinding)
{
    const std::string unmapped = UnmappedDrive();
    ASSERT_FALSE(unmapped.empty());
    CMediaFile onMedia("kelvara_media.exe");
    ASSERT_TRUE(onMedia.Made());
    // A folder with a short name ("LONGFO~1") holding a file whose name the shell parses but
    // the plain file test does not take.
    Present("Long Folder Name\\tool^1.exe");
    const std::string shortFolder = ShortPath(files.PathOf("Long Folder Name"));
    ASSERT_NE(shortFolder.find('~'), std::string::npos) << shortFolder;

    ExpectFindings({
        {"gone", Missing("gone.exe"), true},
        {"here", Present("here.exe"), false},
        {"unmapped", unmapped + "\\kelvara\\gone.exe", false},
        {"network", "\\\\server\\share\\gone.exe", false},
        {"removable", std::string(1, kMediaDrive) + ":\\kelvara_gone.exe", false},
        {"removablehere", onMedia.Path(), false},
        // Texts only the shell could parse, and it cannot: a log name pattern, a program piped
        // into another.
        {"shelllog", shortFolder + "\\log<date>.txt", false},
        {"shellpipe", shortFolder + "\\gone.exe|more", false},
        {"shellhere", shortFolder + "\\tool^1.exe", false},
        // A service program on a network share, in the service manager's spelling.
        {"ntunc", "\\??\\UNC\\server\\share\\gone.exe", false},
        {"ntuncquery", "\\\\?\\UNC\\server\\share\\gone.exe", false},
        {"variable", "%KELVARA_NO_SUCH_VARIABLE%\\gone.exe", false},
    });
}

// Names with "^" and "~" that the shell's parser does not take while the file is missing are
// plain paths all the same: the file itself decides.
TEST_F(ReferenceJudgement, APlainPathWithCaretsAndTildesIsJudgedByItsFile)
{
    files.MakeFolder("Tools^1");
    ExpectFindings({
        {"caretgone", Missing("Tools^1\\gone^2.exe"), true},
        {"tildegone", Missing("Tools^1\\gone~2.exe"), true},
        {"carethere", Present("Tools^1\\here^3.exe"), false},
    });
}

// Only the scanners that judge a whole text take arguments for part of a path; the others cut
// a command line after its ".exe" first.
TEST_F(ReferenceJudgement, AFileFollowedByArgumentsIsPresent)
{
    ExpectFindings({
        {"pagefile", Present("pagefile.sys") + " 27 77", false},
        {"pagefilegone", Missing("gonefile.sys") + " 27 77", true},
        {"switches", Present("tools\\run.com") + " -q -x", false},
        {"spaced", Present("My Tools\\run.com") + " -q", false},
        {"spacedgone", Missing("My Tools\\gone.com") + " -q", true},
        // A folder followed by words is no program with arguments.
        {"folder", files.MakeFolder("data") + " 27", true},
    }, {"FPR", "APP"});
}

// Windows runs "c:\dir\tool" and "c:\dir\tool /min" as c:\dir\tool.exe (or .com, .bat, .cmd):
// such a text names its program, whatever kind of entry holds it. Only a program missing under
// every executable extension is reported, by the scanners that judge the whole text.
TEST_F(ReferenceJudgement, AProgramNamedWithoutItsExtensionIsThere)
{
    const std::string tool = Present("Tools\\tool.exe");
    const std::string bare = tool.substr(0, tool.size() - 4);
    const std::string script = Present("My Tools\\start.cmd");
    const std::string bareScript = script.substr(0, script.size() - 4);
    std::vector<Row> rows = {
        {"bare", bare, false},
        {"bareargs", bare + " /min", false},
        {"barequoted", "\"" + bare + "\" /min", false},
        {"barelibrary", bare + " helper.dll", false},
        {"barescript", bareScript + " -q", false},
    };
    ExpectFindings(rows, {"SUI", "SRV"});
    rows.push_back({"gonebare", Missing("Tools\\gone") + " helper.dll", true});
    ExpectFindings(rows, {"FPR", "FAS"});
}
