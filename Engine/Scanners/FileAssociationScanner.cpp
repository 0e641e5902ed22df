// File-name extensions under HKEY_CLASSES_ROOT whose open command names a missing program, or
// whose key is an empty shell (FAS).
#include "EngineProcess.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"

namespace {

const char kOpenCommand[] = "\\shell\\open\\command";
const int kAssociationActivity = 100;

} // namespace

void CVexaEngineProcess::ScanFileAssociations()
{
    CRegistryKey classesRoot;
    if (classesRoot.Open(HKEY_CLASSES_ROOT, nullptr, KEY_READ) != ERROR_SUCCESS)
        return;
    std::vector<CString> names;
    ReadSubkeyNames(classesRoot, &names);
    classesRoot.Close();
    for (const CString& name : names) {
        if (!KeepRunning())
            return;
        ReportProgress(PROGRESS_STEP);
        ReportScanActivity("HKEY_CLASSES_ROOT\\" + name, "FAS", kAssociationActivity);
        if (!name.IsEmpty() && name[0] == '.')
            CheckFileAssociation(name);
    }
}

void CVexaEngineProcess::CheckFileAssociationItem(const CString& item)
{
    _REGISTRY_ITEM entry;
    if (SplitRegistryItem(item, &entry) && !entry.IsValue && entry.Root == HKEY_CLASSES_ROOT &&
        entry.KeyPath[0] == '.' && entry.KeyPath.Find('\\') < 0)
        CheckFileAssociation(entry.KeyPath);
}

int CVexaEngineProcess::CheckFileAssociation(const CString& extension)
{
    CRegistryKey extensionKey;
    if (extensionKey.Open(HKEY_CLASSES_ROOT, extension, KEY_READ) != ERROR_SUCCESS)
        return 0;

    CRegistryValue identifier;
    const LONG read = ReadRegistryValue(extensionKey, "", &identifier);
    if (read == ERROR_FILE_NOT_FOUND) {
        // No class at all: broken only when the key holds nothing else either.
        DWORD subkeys = 1, values = 1;
        if (::RegQueryInfoKeyA(extensionKey, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subkeys == 0 && values == 0)
            ReportRegistryFinding(HKEY_CLASSES_ROOT, extension, nullptr, SCAN_FAS);
        return 1;
    }
    extensionKey.Close();
    if (read != ERROR_SUCCESS)
        return 1;
    const CString className = identifier.Text();
    if (className.IsEmpty())
        return 1;

    CRegistryKey commandKey;
    if (commandKey.Open(HKEY_CLASSES_ROOT, className + kOpenCommand, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return 1;
    CRegistryValue commandValue;
    if (ReadRegistryValue(commandKey, "", &commandValue) != ERROR_SUCCESS || !commandValue.HasData())
        return 1;
    commandKey.Close();
    CString command = commandValue.Text().MakeLower();
    if (command.Find(".exe") < 0 && command.Find(".dll") < 0)
        return 1;
    ExpandPathVariables(command);
    if (CheckValueReferences(command) == 0)
        ReportRegistryFinding(HKEY_CLASSES_ROOT, extension, nullptr, SCAN_FAS);
    return 1;
}
