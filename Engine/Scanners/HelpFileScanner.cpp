// Help registrations (HLP): HTML Help classes whose server file is missing, and help-file lists
// whose files are gone.
#include "EngineProcess.h"
#include "Scanners/CommandLine.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"

namespace {

const char kHelpClassesKey[] = "SOFTWARE\\Microsoft\\HTMLHelp\\2.0\\LocalReg\\CLSID";
const char kServerKey[] = "InprocServer32";
const char* const kHelpFileLists[] = {
    "SOFTWARE\\Microsoft\\Windows\\Help",
    "SOFTWARE\\Microsoft\\Windows\\HTML Help",
};

} // namespace

void CVexaEngineProcess::ScanHelpFiles()
{
    CRegistryKey classes;
    if (classes.Open(HKEY_LOCAL_MACHINE, kHelpClassesKey, KEY_READ) != ERROR_SUCCESS)
        return;
    ReportProgress(PROGRESS_STEP);
    std::vector<CString> classNames;
    ReadSubkeyNames(classes, &classNames);
    classes.Close();
    for (const CString& className : classNames) {
        if (!KeepRunning())
            return;
        CheckHelpClass(className);
    }
    for (const char* listPath : kHelpFileLists) {
        CRegistryKey list;
        if (list.Open(HKEY_LOCAL_MACHINE, listPath, KEY_READ) != ERROR_SUCCESS)
            return;
        CheckHelpFileList(list, listPath);
    }
}

void CVexaEngineProcess::CheckHelpClass(const CString& className)
{
    const CString classPath = CString(kHelpClassesKey) + "\\" + className;
    const CString serverPath = classPath + "\\" + kServerKey;
    CRegistryKey server;
    if (server.Open(HKEY_LOCAL_MACHINE, serverPath, KEY_READ) != ERROR_SUCCESS)
        return;
    bool reported = false;
    CRegistryValueEnum values(server);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value)) {
        if (!value.HasData())
            continue;
        ReportProgress(PROGRESS_STEP);
        const CString text = value.Text().MakeLower();
        if (!NamesServerLibrary(text))
            continue;
        // One finding per class, however many of its values name a missing file.
        if (!reported && JudgeFileReference(text) == FILE_STATE_MISSING) {
            ReportRegistryFinding(HKEY_LOCAL_MACHINE, classPath, nullptr, SCAN_HLP);
            reported = true;
        }
        ReportActivity(serverPath, "HLP");
    }
}

void CVexaEngineProcess::CheckHelpFileList(HKEY list, const char* listPath)
{
    CRegistryValueEnum values(list);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value))
        CheckHelpFile(listPath, value);
}

void CVexaEngineProcess::CheckHelpFile(const char* listPath, const CRegistryValue& value)
{
    if (!value.HasData())
        return;
    ReportProgress(PROGRESS_STEP);
    // The value name is the help file, the text the folder that holds it.
    CString folder = value.Text().MakeLower();
    const CString fileName = CString(value.Name).MakeLower();
    folder.TrimRight('\\');
    if (!folder.IsEmpty() && !fileName.IsEmpty() && JudgeFileReference(folder + "\\" + fileName) == FILE_STATE_MISSING)
        ReportRegistryFinding(HKEY_LOCAL_MACHINE, listPath, fileName, SCAN_HLP);
    ReportActivity(CString(listPath) + "\\" + fileName, "HLP");
}

void CVexaEngineProcess::CheckHelpItem(const CString& item)
{
    _REGISTRY_ITEM entry;
    if (!SplitRegistryItem(item, &entry) || entry.Root != HKEY_LOCAL_MACHINE)
        return;
    CString className;
    if (!entry.IsValue) {
        if (ChildKeyName(entry.KeyPath, kHelpClassesKey, &className))
            CheckHelpClass(className);
        return;
    }
    for (const char* listPath : kHelpFileLists) {
        if (entry.KeyPath.CompareNoCase(listPath) != 0)
            continue;
        CRegistryKey list;
        CRegistryValue value;
        if (list.Open(HKEY_LOCAL_MACHINE, listPath, KEY_READ) == ERROR_SUCCESS &&
            ReadRegistryValue(list, entry.ValueName, &value) == ERROR_SUCCESS)
            CheckHelpFile(listPath, value);
    }
}
