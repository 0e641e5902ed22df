// Application paths (APP): the keys that let programs be started by name, whose program file
// is missing.
#include "EngineProcess.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"
#include "Scanners/PathText.h"

namespace {

const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kPathValue[] = "path";
// The connection manager's entry names a program that is put in place on demand.
const char kOnDemandProgram[] = "cmmgr32.exe";

} // namespace

void CVexaEngineProcess::ScanAppPaths()
{
    CRegistryKey appPaths;
    if (appPaths.Open(HKEY_LOCAL_MACHINE, kAppPathsKey, KEY_READ) != ERROR_SUCCESS)
        return;
    ReportProgress(PROGRESS_STEP);
    std::vector<CString> names;
    ReadSubkeyNames(appPaths, &names);
    appPaths.Close();
    for (const CString& name : names) {
        if (!KeepRunning())
            return;
        CheckAppPath(name);
    }
}

void CVexaEngineProcess::CheckAppPathItem(const CString& item)
{
    CString programName;
    if (ChildKeyOfItem(item, HKEY_LOCAL_MACHINE, kAppPathsKey, &programName))
        CheckAppPath(programName);
}

void CVexaEngineProcess::CheckAppPath(const CString& programName)
{
    const CString entryPath = CString(kAppPathsKey) + "\\" + programName;
    CRegistryKey entry;
    if (entry.Open(HKEY_LOCAL_MACHINE, entryPath, KEY_READ) != ERROR_SUCCESS)
        return;

    // The program (unnamed value) and the folder it may be found in ("path") are taken
    // whatever order the registry lists them in.
    CString program, folder;
    bool hasProgram = false, hasFolder = false;
    int otherValues = 0;
    CRegistryValueEnum values(entry);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value)) {
        if (!value.HasData())
            continue;
        ReportProgress(PROGRESS_STEP);
        const CString name = CString(value.Name).MakeLower();
        if (name.IsEmpty()) {
            program = value.Text().MakeLower();
            hasProgram = true;
        } else if (name == kPathValue) {
            folder = value.Text().MakeLower();
            hasFolder = true;
        } else {
            ++otherValues;
        }
        ReportScanActivity(entryPath, "APP");
    }
    if (!KeepRunning() || !hasProgram || JudgeFileReference(program) != FILE_STATE_MISSING)
        return;

    const bool onDemand = CString(programName).MakeLower() == kOnDemandProgram;
    const CString programFile = StripPathQuotes(program);
    const bool namedWithoutFolder = !programFile.IsEmpty() && programFile.Find(':') < 0 && programFile[0] != '\\';
    if (hasFolder && namedWithoutFolder) {
        // A program named by its file name alone lies in the "path" folder.
        folder = StripPathQuotes(folder);
        folder.TrimRight('\\');
        const CString combined = folder + "\\" + programFile;
        const FILE_STATE state = JudgeFileReference(combined);
        if (state == FILE_STATE_PRESENT)
            AddScanFolder(combined);
        else if (state == FILE_STATE_MISSING && !onDemand)
            ReportRegistryFinding(HKEY_LOCAL_MACHINE, entryPath, nullptr, SCAN_APP);
        return;
    }
    // An entry with further settings but no folder to look in is left alone.
    if ((hasFolder || otherValues == 0) && !onDemand)
        ReportRegistryFinding(HKEY_LOCAL_MACHINE, entryPath, nullptr, SCAN_APP);
}
