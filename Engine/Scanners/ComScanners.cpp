// COM registrations in HKEY_CLASSES_ROOT: classes whose in-process server file is missing and
// keys that name unregistered classes (AXO), interfaces whose type library is not registered
// (ITL); and lists of class identifiers whose classes' servers are missing.
#include "EngineProcess.h"
#include "Scanners/CommandLine.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"

namespace {

const char kClassesKey[] = "CLSID";
const char kClasses32Key[] = "Wow6432Node\\CLSID";
const char kServerKey[] = "InprocServer32";
const char kTypeLibrariesKey[] = "TypeLib";
const char kInterfacesKey[] = "Interface";
const char kWow64TreePrefix[] = "hkey_classes_root\\wow6432node\\";
const char kMachineClassesKey[] = "Software\\Classes\\CLSID";
const char kAreaRegistry[] = "Registry";

const int kComActivity = 100;

// The class identifiers among subkey names ("{...}"), lower-cased.
std::set<CString> ClassIdentifiers(const std::vector<CString>& names)
{
    std::set<CString> identifiers;
    for (const CString& name : names)
        if (name.Find('{') >= 0)
            identifiers.insert(CString(name).MakeLower());
    return identifiers;
}

// The unnamed value of a key as lower-case text; empty when it is missing or empty.
CString LowerDefaultText(HKEY key)
{
    CRegistryValue value;
    if (ReadRegistryValue(key, "", &value) != ERROR_SUCCESS || !value.HasData())
        return CString();
    return value.Text().MakeLower();
}

} // namespace

void CVexaEngineProcess::ScanActiveX()
{
    std::vector<CString> names;
    if (!ReadRegisteredClasses(&names))
        return;
    ReportProgress(PROGRESS_STEP);

    for (const CString& name : names) {
        if (!KeepRunning())
            return;
        // A class is named by its identifier in lower case from here on, so its item reads the
        // same however the registry spells it: the ignore list and the exclusions compare it.
        CheckClassServer(name.Find('{') >= 0 ? CString(name).MakeLower() : name);
    }

    // A class list that could not be read to its end would make every class it missed look
    // unregistered: the references to classes are then not judged at all.
    if (!m_registeredClassesComplete)
        return;
    m_activityCounter = 3001;
    WalkRegistry("HKEY_CLASSES_ROOT", "", WALK_CLASS_REFERENCES);
}

bool CVexaEngineProcess::ReadRegisteredClasses(std::vector<CString>* names)
{
    m_registeredClasses.clear();
    m_registeredClasses32.clear();
    m_registeredClassesComplete = false;
    m_registeredClasses32Complete = false;

    CRegistryKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, kClassesKey, KEY_READ) != ERROR_SUCCESS)
        return false;
    m_registeredClassesComplete = ReadSubkeyNames(classes, names);
    m_registeredClasses = ClassIdentifiers(*names);
    classes.Close();

    // 32-bit registrations, where this process sees them beside its own (a 64-bit process on
    // 64-bit Windows): keys of that tree are judged against these classes.
    CRegistryKey classes32;
    if (classes32.Open(HKEY_CLASSES_ROOT, kClasses32Key, KEY_READ) == ERROR_SUCCESS) {
        std::vector<CString> names32;
        m_registeredClasses32Complete = ReadSubkeyNames(classes32, &names32);
        m_registeredClasses32 = ClassIdentifiers(names32);
    }
    return true;
}

void CVexaEngineProcess::CheckActiveXItem(const CString& item)
{
    _REGISTRY_ITEM entry;
    if (!SplitRegistryItem(item, &entry) || entry.IsValue || entry.Root != HKEY_CLASSES_ROOT)
        return;
    // The class lists are read once per repair: they are what "registered" means for every key.
    if (!m_recheckLists.classesRead) {
        std::vector<CString> names;
        ReadRegisteredClasses(&names);
        m_recheckLists.classesRead = true;
    }
    // A class whose server library is missing.
    CString className;
    if (ChildKeyName(entry.KeyPath, kClassesKey, &className))
        CheckClassServer(className.Find('{') >= 0 ? className.MakeLower() : className);
    // A key whose "CLSID" subkey names a class that is not registered, as the walk of the
    // classes root finds it: only a subkey named exactly so is looked at.
    CRegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, entry.KeyPath, KEY_READ) != ERROR_SUCCESS)
        return;
    std::vector<CString> subkeys;
    ReadSubkeyNames(key, &subkeys);
    for (const CString& subkey : subkeys) {
        if (subkey != kClassesKey)
            continue;
        CRegistryKey classId;
        if (classId.Open(key, subkey, KEY_QUERY_VALUE) == ERROR_SUCCESS)
            CheckOpenedKeyReferences(classId, subkey, MakeKeyItem(HKEY_CLASSES_ROOT, entry.KeyPath + "\\" + subkey),
                                     WALK_CLASS_REFERENCES);
    }
}

void CVexaEngineProcess::CheckClassServer(const CString& className)
{
    const CString classPath = CString(kClassesKey) + "\\" + className;
    const CString serverPath = classPath + "\\" + kServerKey;
    CRegistryKey server;
    if (server.Open(HKEY_CLASSES_ROOT, serverPath, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return;
    const CString text = LowerDefaultText(server);
    if (text.IsEmpty())
        return;
    ReportProgress(PROGRESS_STEP);
    if (NamesServerLibrary(text) && JudgeFileReference(text) == FILE_STATE_MISSING)
        ReportRegistryFinding(HKEY_CLASSES_ROOT, classPath, nullptr, SCAN_AXO);
    ReportScanActivity(serverPath, "AXO", kComActivity);
}

void CVexaEngineProcess::ScanMachineClsids(HKEY root, const char* keyPath, DWORD category)
{
    // A list that cannot be named in an item cannot be repaired either.
    if (!keyPath || !*keyPath || !*RegistryRootName(root))
        return;
    CRegistryKey list;
    if (list.Open(root, keyPath, KEY_READ) != ERROR_SUCCESS)
        return;
    std::vector<CString> names;
    ReadSubkeyNames(list, &names);
    list.Close();
    for (const CString& name : names) {
        if (!KeepRunning())
            return;
        const CString serverPath = CString(kMachineClassesKey) + "\\" + name + "\\" + kServerKey;
        CRegistryKey server;
        // An entry whose class is not registered here names no server to judge.
        if (server.Open(HKEY_LOCAL_MACHINE, serverPath, KEY_READ) != ERROR_SUCCESS)
            continue;
        // The item is the entry of the list, below the root that holds the list.
        if (HasMissingServerLibrary(server))
            ReportRegistryFinding(root, CString(keyPath) + "\\" + name, nullptr, category);
        ReportScanActivity(serverPath, kAreaRegistry, kComActivity);
    }
}

bool CVexaEngineProcess::HasMissingServerLibrary(HKEY server)
{
    CRegistryValueEnum values(server);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value)) {
        if (!value.HasData())
            continue;
        ReportProgress(PROGRESS_STEP);
        const CString text = value.Text().MakeLower();
        if (NamesServerLibrary(text) && JudgeFileReference(text) == FILE_STATE_MISSING)
            return true;
    }
    return false;
}

bool CVexaEngineProcess::IsClassRegisteredFor(const CString& keyPath, const CString& lowerClassId) const
{
    if (CString(keyPath.Left(static_cast<int>(sizeof(kWow64TreePrefix) - 1))).MakeLower() == kWow64TreePrefix) {
        // Without a complete 32-bit class list nothing in that tree can be judged.
        return !m_registeredClasses32Complete || m_registeredClasses32.count(lowerClassId) != 0;
    }
    return !m_registeredClassesComplete || m_registeredClasses.count(lowerClassId) != 0;
}

bool CVexaEngineProcess::ReadRegisteredTypeLibraries(std::set<CString>* registered)
{
    CRegistryKey libraries;
    if (libraries.Open(HKEY_CLASSES_ROOT, kTypeLibrariesKey, KEY_READ) != ERROR_SUCCESS)
        return false;
    std::vector<CString> names;
    // A short list would make the libraries it missed look unregistered.
    if (!ReadSubkeyNames(libraries, &names))
        return false;
    *registered = ClassIdentifiers(names);
    return true;
}

void CVexaEngineProcess::ScanTypeLibraries()
{
    std::set<CString> registered;
    if (!ReadRegisteredTypeLibraries(&registered))
        return;
    ReportProgress(PROGRESS_STEP);

    CRegistryKey interfaces;
    if (interfaces.Open(HKEY_CLASSES_ROOT, kInterfacesKey, KEY_READ) != ERROR_SUCCESS)
        return;
    std::vector<CString> interfaceNames;
    ReadSubkeyNames(interfaces, &interfaceNames);
    interfaces.Close();
    for (const CString& name : interfaceNames) {
        if (!KeepRunning())
            return;
        if (name.Find('{') >= 0)
            CheckInterfaceTypeLibrary(name, registered);
    }
}

void CVexaEngineProcess::CheckInterfaceTypeLibrary(const CString& interfaceName, const std::set<CString>& registered)
{
    const CString interfacePath = CString(kInterfacesKey) + "\\" + interfaceName;
    const CString libraryPath = interfacePath + "\\" + kTypeLibrariesKey;
    CRegistryKey library;
    if (library.Open(HKEY_CLASSES_ROOT, libraryPath, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return;
    CString libraryId = LowerDefaultText(library);
    if (libraryId.IsEmpty())
        return;
    ReportProgress(PROGRESS_STEP);
    libraryId.Trim();
    if (libraryId.Find('{') < 0)
        return;
    if (!registered.count(libraryId))
        ReportRegistryFinding(HKEY_CLASSES_ROOT, interfacePath, nullptr, SCAN_ITL);
    ReportScanActivity(libraryPath, "ITL", kComActivity);
}

void CVexaEngineProcess::CheckTypeLibraryItem(const CString& item)
{
    _REGISTRY_ITEM entry;
    CString interfaceName;
    if (!SplitRegistryItem(item, &entry) || entry.IsValue || entry.Root != HKEY_CLASSES_ROOT ||
        !ChildKeyName(entry.KeyPath, kInterfacesKey, &interfaceName) || interfaceName.Find('{') < 0)
        return;
    if (!m_recheckLists.typeLibrariesRead) {
        m_recheckLists.typeLibrariesComplete = ReadRegisteredTypeLibraries(&m_recheckLists.typeLibraries);
        m_recheckLists.typeLibrariesRead = true;
    }
    if (m_recheckLists.typeLibrariesComplete)
        CheckInterfaceTypeLibrary(interfaceName, m_recheckLists.typeLibraries);
}
