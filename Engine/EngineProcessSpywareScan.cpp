// Scans that look for known spyware through the signature database, and their small helpers.
#include "EngineProcess.h"

#include <shlobj.h>
#include <share.h>

#include <cstdio>
#include <vector>

#include "AfxFileFind.h"
#include "Database/MD5.h"
#include "Process/ProcessList.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"
#include "Spyware.h"

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char kWhiteListFile[] = "WhileList.dat";
const char kAreaCookies[] = "Tracking Cookies";
const char kAreaMemory[] = "Memory";
const char kAreaFiles[] = "Directories and Files";
const char kAreaFpr[] = "FPR";
const char kAreaBrowserHelpers[] = "Browser Helper Objects";
const char kBrowserHelpersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

CString ProgramFolder()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return CString();
    CString folder(path);
    return folder.Left(folder.ReverseFind('\\') + 1);
}

// The data of a value as text, read into a buffer one larger than its size; false when it
// cannot be read whole.
bool ReadValueText(HKEY key, const char* name, DWORD size, CString* text)
{
    std::vector<char> data(size + 1, '\0');
    DWORD read = size;
    if (::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &read) != ERROR_SUCCESS)
        return false;
    *text = CString(data.data());
    return true;
}

} // namespace

void CVexaEngineProcess::ReportSpywareFinding(const char* item, const _SPYWARE_INFORMATION& record)
{
    if (m_status)
        m_status->ReportItem(item, static_cast<int>(CSpyware::CategoryOfType(record.Type)), static_cast<int>(record.ID),
                             reinterpret_cast<INT_PTR>(&record));
}

int CVexaEngineProcess::ScanTrackingCookies()
{
    std::set<CString> folders;
    for (int csidl : {CSIDL_COOKIES, CSIDL_INTERNET_CACHE}) {
        char folder[MAX_PATH + 1] = {};
        if (SUCCEEDED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)))
            folders.insert(folder);
    }
    for (const CString& folder : folders) {
        CFileFind finder;
        // The finder's FindNextFile answers FALSE for the last entry, which is still to be shown.
        BOOL more = finder.FindFile(folder + "\\*.*");
        while (more && KeepRunning()) {
            more = finder.FindNextFile();
            if (finder.IsDots() || finder.IsDirectory())
                continue;
            ReportActivity(finder.GetFilePath(), kAreaCookies);
            ReportProgress(PROGRESS_STEP);
        }
    }
    return 1;
}

int CVexaEngineProcess::ScanProcessModules()
{
    CProcessList processes;
    for (INT_PTR index = 0; index < processes.GetSize() && KeepRunning(); ++index) {
        CModuleList modules(processes.GetAt(index)->Entry.th32ProcessID);
        for (INT_PTR m = 0; m < modules.GetSize() && KeepRunning(); ++m) {
            CString path(modules[m].szExePath);
            ReportActivity(path, kAreaMemory);
            path.Trim();
            path.Trim('\\');
            CFileFind finder;
            if (finder.FindFile(path) && m_database)
                CheckFileSignature(path, TRUE);
        }
    }
    return 1;
}

int CVexaEngineProcess::CheckFileSignature(CString path, BOOL quiet)
{
    ReportProgress(PROGRESS_STEP);
    if (!quiet)
        ReportActivity(path, kAreaFiles);
    if (const _SPYWARE_INFORMATION* record = FindFileInDatabase(path))
        ReportSpywareFinding(path, *record);
    return 1;
}

const _SPYWARE_INFORMATION* CVexaEngineProcess::FindClassInDatabase(const CString& clsid) const
{
    if (!m_database)
        return nullptr;
    _SIGNATURE_QUERY query;
    query.Text = clsid;
    query.Flags = 2;  // the text table, looked up in lower case
    long id = 0;
    return m_database->FindSignature(query, &id) ? m_database->FindSpyware(id) : nullptr;
}

int CVexaEngineProcess::CheckClsidInDatabase(CString clsid)
{
    if (!m_database)
        return 0;
    if (const _SPYWARE_INFORMATION* record = FindClassInDatabase(clsid))
        ReportSpywareFinding("HKEY_CLASSES_ROOT\\CLSID\\" + clsid, *record);
    return 1;
}

int CVexaEngineProcess::ScanBrowserHelperObjects()
{
    // Without signatures every helper would pass unjudged as if it were known to be clean.
    if (!m_database || !m_database->IsLoaded())
        return 0;
    CRegistryKey helpers;
    if (helpers.Open(HKEY_LOCAL_MACHINE, kBrowserHelpersKey, KEY_READ) != ERROR_SUCCESS)
        return 1;
    std::vector<CString> names;
    ReadSubkeyNames(helpers, &names);
    helpers.Close();
    for (const CString& name : names) {
        if (!KeepRunning())
            break;
        ReportActivity(name, kAreaBrowserHelpers);
        const _SPYWARE_INFORMATION* record = FindClassInDatabase(name);
        // The item is the helper's key, never the bare class name: the removal would take a text
        // without a root for a file of the current folder.
        if (record && (CSpyware::CategoryOfType(record->Type) & m_categories))
            ReportSpywareFinding(MakeKeyItem(HKEY_LOCAL_MACHINE, CString(kBrowserHelpersKey) + "\\" + name), *record);
        ReportProgress(PROGRESS_STEP);
    }
    return 1;
}

BOOL CVexaEngineProcess::DriverImageExists(CString& path)
{
    // Only a file known to be missing counts: a path that cannot be judged is no finding.
    return JudgeFileReference(path) != FILE_STATE_MISSING;
}

LONG CVexaEngineProcess::ScanDrivers()
{
    HKEY rawServices = nullptr;
    const LONG opened = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, &rawServices);
    if (opened != ERROR_SUCCESS)
        return opened;
    ReportProgress(PROGRESS_STEP);
    char name[257];
    for (DWORD index = 0; KeepRunning() && ::RegEnumKeyA(rawServices, index, name, sizeof(name)) == ERROR_SUCCESS;
         ++index) {
        const CString subKey = CString(kServicesKey) + "\\" + name;
        CRegistryKey service;
        if (service.Open(HKEY_LOCAL_MACHINE, subKey, KEY_READ) != ERROR_SUCCESS)
            continue;
        for (DWORD value = 0;; ++value) {
            char valueName[MAX_PATH + 1] = {};
            DWORD nameLength = MAX_PATH;
            DWORD size = 0;
            if (!KeepRunning() ||
                ::RegEnumValueA(service, value, valueName, &nameLength, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
                break;
            if (size == 0)
                continue;
            ReportProgress(PROGRESS_STEP);
            CString data;
            if (!ReadValueText(service, valueName, size, &data))
                break;
            data.MakeLower();
            data.Trim('"');
            CString lowerName(valueName);
            lowerName.MakeLower();
            const int sys = data.Find(".sys");
            if (lowerName == "imagepath" && sys >= 0) {
                data = data.Left(sys + 4);
                data.Replace("\\??\\", "");
                data.Replace("\\systemroot\\", "");
                if (!DriverImageExists(data))
                    ReportFinding("HKEY_LOCAL_MACHINE\\" + subKey, SCAN_FPR);
            }
            ReportScanActivity(subKey, kAreaFpr);
        }
    }
    return ::RegCloseKey(rawServices);
}

CString CVexaEngineProcess::WhiteListFilePath()
{
    return ProgramFolder() + kWhiteListFile;
}

BOOL CVexaEngineProcess::LoadWhiteList(CString text)
{
    // "a+" makes an empty list where there is none.
    FILE* file = std::fopen(WhiteListFilePath(), "a+");
    if (!file)
        return FALSE;
    std::rewind(file);
    CString content;
    char piece[500];
    size_t read;
    while ((read = std::fread(piece, 1, sizeof(piece) - 1, file)) > 0)
        content += CString(piece, static_cast<int>(read));
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return FALSE;
    content.MakeLower();
    text.MakeLower();
    // Entries end with ';'; the text after the last one is not an entry, and an empty entry
    // ends the list. The list is walked once, in place: a copy of the rest per entry would make
    // a long list take quadratic time.
    const std::string& list = content.Str();
    size_t start = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] != ';') {
            // The second byte of a double-byte character is never a separator.
            if (i + 1 < list.size() && ::IsDBCSLeadByte(static_cast<BYTE>(list[i])))
                ++i;
            continue;
        }
        CString entry(list.data() + start, static_cast<int>(i - start));
        entry.Trim();
        if (entry.IsEmpty())
            return FALSE;
        if (text.Find(entry) >= 0)
            return TRUE;
        start = i + 1;
    }
    return FALSE;
}

BOOL CVexaEngineProcess::CanOpenFile(CString path)
{
    FILE* file = ::_fsopen(path, "rb", _SH_DENYNO);
    if (!file)
        return FALSE;
    std::fclose(file);
    return TRUE;
}
