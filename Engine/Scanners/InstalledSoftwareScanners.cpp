// Lists that Windows keeps of installed things: registered fonts (FNT), shared DLL reference
// counts (SHD) and the uninstall entries of installed programs (UIE).
#include "EngineProcess.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"
#include "Scanners/CommandLine.h"
#include "Scanners/PathText.h"

namespace {

const char kFontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kUninstallStringValue[] = "UninstallString";

CString WindowsFontsFolder()
{
    char folder[MAX_PATH + 1] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (!length || length > MAX_PATH)
        return CString();
    CString fonts(folder);
    fonts.TrimRight('\\');
    return fonts + "\\Fonts\\";
}

// A font file named without a folder ("arial.ttf", "sub\x.fon") lies in the Fonts folder.
bool IsNamedWithoutFolder(const CString& file)
{
    return !file.IsEmpty() && file.Find(':') < 0 && file[0] != '\\' && file[0] != '%' && file[0] != '"';
}

// The value a value item of a list key (HKEY_LOCAL_MACHINE\listKey) names; false for an item of
// any other key, or a value that is not there.
bool ReadListValue(const CString& item, const char* listKey, CRegistryValue* value)
{
    _REGISTRY_ITEM entry;
    if (!SplitRegistryItem(item, &entry) || !entry.IsValue || entry.Root != HKEY_LOCAL_MACHINE ||
        entry.KeyPath.CompareNoCase(listKey) != 0)
        return false;
    CRegistryKey list;
    return list.Open(HKEY_LOCAL_MACHINE, listKey, KEY_READ) == ERROR_SUCCESS &&
           ReadRegistryValue(list, entry.ValueName, value) == ERROR_SUCCESS;
}

} // namespace

void CVexaEngineProcess::ScanFonts()
{
    ReportProgress(PROGRESS_STEP);
    CRegistryKey fonts;
    if (fonts.Open(HKEY_LOCAL_MACHINE, kFontsKey, KEY_READ) != ERROR_SUCCESS)
        return;
    const CString fontsFolder = WindowsFontsFolder();
    CRegistryValueEnum values(fonts);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value))
        CheckFont(value, fontsFolder);
}

void CVexaEngineProcess::CheckFont(const CRegistryValue& value, const CString& fontsFolder)
{
    if (!value.HasData())
        return;
    ReportProgress(PROGRESS_STEP);
    CString file = value.Text();
    // Windows expands a REG_EXPAND_SZ font path ("%SystemRoot%\Fonts\x.ttf") before it loads
    // the font; a variable that stays unexpanded names nothing that can be judged.
    const bool expandable = value.Type == REG_EXPAND_SZ;
    if (expandable)
        CPathVariables::ExpandEnvironment(file);
    // Windows loads a font from the path its data names or, for a name without a folder,
    // from the Fonts folder, and from nowhere else: neither the search path nor the system
    // folders count. A folder counts as present like a file, and the file is never opened
    // (a font in use is locked).
    const bool inFontsFolder = IsNamedWithoutFolder(file);
    const CString path = inFontsFolder ? fontsFolder + file : file;
    const bool judged = !(inFontsFolder && fontsFolder.IsEmpty()) && !(expandable && file.Find('%') >= 0);
    FILE_STATE state = judged ? m_fileReferences.ProbePath(path) : FILE_STATE_UNKNOWN;
    if (state == FILE_STATE_MISSING && FileExists(path))
        state = FILE_STATE_PRESENT;
    if (state == FILE_STATE_MISSING)
        ReportRegistryFinding(HKEY_LOCAL_MACHINE, kFontsKey, value.Name, SCAN_FNT);
    ReportActivity(CString(kFontsKey) + "/" + value.Name, "FNT");
}

void CVexaEngineProcess::ScanSharedDlls()
{
    ReportProgress(PROGRESS_STEP);
    CRegistryKey sharedDlls;
    if (sharedDlls.Open(HKEY_LOCAL_MACHINE, kSharedDllsKey, KEY_READ) != ERROR_SUCCESS)
        return;
    CRegistryValueEnum values(sharedDlls);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value))
        CheckSharedDll(value);
}

void CVexaEngineProcess::CheckSharedDll(const CRegistryValue& value)
{
    if (!value.HasData())
        return;
    ReportProgress(PROGRESS_STEP);
    // The value name is the DLL's path; the data (a reference count) is not used.
    const CString path = StripPathQuotes(value.Name);
    const FILE_STATE state = JudgeFileReference(path);
    if (state == FILE_STATE_MISSING)
        ReportRegistryFinding(HKEY_LOCAL_MACHINE, kSharedDllsKey, value.Name, SCAN_SHD);
    else if (state == FILE_STATE_PRESENT)
        AddScanFolder(path);
    ReportScanActivity(CString(kSharedDllsKey) + "/" + value.Name, "SHD", kSharedDllActivityThreshold);
}

void CVexaEngineProcess::CheckFontItem(const CString& item)
{
    CRegistryValue value;
    if (ReadListValue(item, kFontsKey, &value))
        CheckFont(value, WindowsFontsFolder());
}

void CVexaEngineProcess::CheckSharedDllItem(const CString& item)
{
    CRegistryValue value;
    if (ReadListValue(item, kSharedDllsKey, &value))
        CheckSharedDll(value);
}

void CVexaEngineProcess::CheckUninstallItem(const CString& item)
{
    CString name;
    if (ChildKeyOfItem(item, HKEY_LOCAL_MACHINE, kUninstallKey, &name))
        CheckUninstallEntry(kUninstallKey, name);
}

void CVexaEngineProcess::ScanDefaultUninstallEntries()
{
    ScanUninstallEntries(kUninstallKey);
}

void CVexaEngineProcess::ScanUninstallEntries(const char* keyPath)
{
    if (!keyPath || !*keyPath)
        return;
    CRegistryKey uninstall;
    if (uninstall.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_READ) != ERROR_SUCCESS)
        return;
    ReportProgress(PROGRESS_STEP);
    std::vector<CString> entries;
    ReadSubkeyNames(uninstall, &entries);
    for (const CString& entry : entries) {
        if (!KeepRunning())
            return;
        CheckUninstallEntry(keyPath, entry);
    }
}

void CVexaEngineProcess::CheckUninstallEntry(const char* keyPath, const CString& entry)
{
    const CString entryPath = CString(keyPath) + "\\" + entry;
    CRegistryKey entryKey;
    if (entryKey.Open(HKEY_LOCAL_MACHINE, entryPath, KEY_READ) != ERROR_SUCCESS)
        return;
    CRegistryValueEnum values(entryKey);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value)) {
        if (!value.HasData())
            continue;
        ReportProgress(PROGRESS_STEP);
        CheckUninstallString(entryPath, value);
    }
}

void CVexaEngineProcess::CheckUninstallString(const CString& entryPath, const CRegistryValue& value)
{
    CString command = value.Text();
    command.MakeLower();
    // Windows Installer and control-panel entries are removed by a system program.
    if (value.Name != kUninstallStringValue || command.Find("msiexec") >= 0 || command.Find("rundll32") >= 0)
        return;
    const CString program = ProgramPathBeforeExe(StripPathQuotes(command), 1);
    if (!program.IsEmpty()) {
        CString found;
        const FILE_STATE state = JudgeFileReference(program, &found);
        if (state == FILE_STATE_MISSING)
            ReportRegistryFinding(HKEY_LOCAL_MACHINE, entryPath, nullptr, SCAN_UIE);
        else if (state == FILE_STATE_PRESENT)
            AddScanFolder(found);
    }
    ReportActivity(entryPath, "UIE");
}

void CVexaEngineProcess::ReportRegistryFinding(HKEY root, const CString& subKey, const char* valueName, DWORD category)
{
    // Only what the user may change is reported: the repair could not delete the rest.
    if (!CanWriteRegistryKey(RegistryRootName(root), subKey))
        return;
    ReportFinding(valueName ? MakeValueItem(root, subKey, valueName) : MakeKeyItem(root, subKey), category);
}
