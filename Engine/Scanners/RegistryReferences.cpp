// The registry walk shared by the file-reference, empty-key and class-reference scans, and the
// tests it applies to each key and value.
#include "EngineProcess.h"

#include <shlobj.h>
#include <cstring>
#include <vector>

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistryWalk.h"
#include "Scanners/PathText.h"

namespace {

const char kDefaultValueName[] = "(Default)";
const char kDefaultUsersHive[] = "HKEY_USERS\\.DEFAULT";
const char kMachineClasses[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
const char kClassesRoot[] = "HKEY_CLASSES_ROOT";
const char kClassIdKeyName[] = "CLSID";
const char kWow64Node[] = "wow6432node";
const DWORD kInitialValueBuffer = 2048;

// Trees of the classes root whose class references the ActiveX scan checks on its own.
const char* const kOwnClassTrees[] = {"HKEY_CLASSES_ROOT\\CLSID", "HKEY_CLASSES_ROOT\\Interface",
                                      "HKEY_CLASSES_ROOT\\TypeLib", "HKEY_CLASSES_ROOT\\AppId"};

// What a key's information says about it; lengths start at 1 so that a failed field never
// passes for an empty key.
struct KeyInformation {
    DWORD longestSubkeyName = 1;
    DWORD values = 0;
    DWORD longestValueName = 1;
    DWORD longestValueData = 1;
    DWORD securityDescriptor = 0;

    bool Query(HKEY key)
    {
        return ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longestSubkeyName, nullptr, &values,
                                  &longestValueName, &longestValueData, &securityDescriptor,
                                  nullptr) == ERROR_SUCCESS;
    }
    bool IsEmpty() const { return longestSubkeyName == 0 && values == 0 && securityDescriptor == 0; }
};

// "HKEY_USERS\S-1\Software" as root name and the path below it.
void SplitKeyPath(const CString& keyPath, CString* rootName, CString* rest)
{
    const int slash = keyPath.Find('\\');
    *rootName = slash < 0 ? keyPath : keyPath.Left(slash);
    *rest = slash < 0 ? CString() : keyPath.Mid(slash + 1);
}

// A text can name a judged file only when it holds a drive root or a variable that may expand to
// one; the rest (most values) skip the costlier conversions. A byte search is enough: it may
// match a trail byte, which only lets the full check run.
bool MayNameLocalPath(const CRegistryValue& value)
{
    const char* text = reinterpret_cast<const char*>(value.Data.data());
    return std::strstr(text, ":\\") != nullptr || std::strchr(text, '%') != nullptr;
}

bool ContainsNoCase(const CString& text, const char* part)
{
    return CString(text).MakeLower().Find(part) >= 0;
}

} // namespace

void CVexaEngineProcess::FormatValueText(DWORD type, const BYTE* data, DWORD length, CString* text)
{
    FormatRegistryValueText(type, data, length, text);
}

BOOL CVexaEngineProcess::CanWriteRegistryKey(CString rootName, CString keyPath)
{
    const HKEY root = RegistryRootFromName(rootName);
    if (!root)
        return TRUE;
    CRegistryKey key;
    return key.Open(root, keyPath, KEY_SET_VALUE) == ERROR_ACCESS_DENIED ? FALSE : TRUE;
}

BOOL CVexaEngineProcess::ResolveShellPath(CString path, CString* resolved)
{
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (wideLength <= 0)
        return FALSE;
    std::vector<wchar_t> widePath(static_cast<size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path, -1, widePath.data(), wideLength);

    IShellFolder* desktop = nullptr;
    if (FAILED(::SHGetDesktopFolder(&desktop)) || !desktop)
        return FALSE;
    LPITEMIDLIST items = nullptr;
    const HRESULT parsed = desktop->ParseDisplayName(nullptr, nullptr, widePath.data(), nullptr, &items, nullptr);
    desktop->Release();
    if (FAILED(parsed) || !items)
        return FALSE;

    wchar_t found[MAX_PATH + 1] = {};
    const BOOL converted = ::SHGetPathFromIDListW(items, found);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(items);
        allocator->Release();
    }
    if (resolved) {
        resolved->Empty();
        if (converted) {
            char narrow[MAX_PATH * 2 + 1] = {};
            if (::WideCharToMultiByte(CP_ACP, 0, found, -1, narrow, MAX_PATH * 2, nullptr, nullptr) > 0)
                *resolved = narrow;
        }
    }
    return TRUE;
}

int CVexaEngineProcess::CheckValueReferences(CString text)
{
    CString path;
    switch (ReferencePathFromText(text, &path)) {
    case REFERENCE_FILE:
        // Only a path on a local fixed drive that is not there, not at its WOW64 location
        // either, not a file followed by arguments, and not a program named without its
        // extension (the text may be a command), counts as missing.
        return m_fileReferences.JudgeReferencePath(path) == FILE_STATE_MISSING ? 0 : 1;
    case REFERENCE_SHELL_PATH: {
        // A text the shell cannot parse may name anything: that is no finding. Only a text that
        // parses to a file-system path that is not there is one.
        CString resolved;
        if (!ResolveShellPath(path, &resolved) || resolved.IsEmpty())
            return 1;
        return m_fileReferences.JudgeReferencePath(resolved) == FILE_STATE_MISSING ? 0 : 1;
    }
    case REFERENCE_NO_FILE:
    default:
        return 1;
    }
}

void CVexaEngineProcess::WalkRegistry(CString rootName, CString startKeyPath, int walkMode)
{
    CRegistryWalk walk([this] { return KeepRunning(); });
    // Under WOW64 the 32-bit mirror of a tree holds the same references again.
    const bool skipWow64Mirror = m_wow64 && walkMode == WALK_FILE_REFERENCES;
    CRegistryWalk::SubkeyFilter filter;
    if (skipWow64Mirror)
        filter = [](const CString& name) { return !ContainsNoCase(name, kWow64Node); };

    walk.WalkOpened(rootName, startKeyPath,
                    [this, walkMode](HKEY parent, const CString& name, const CString& path, HKEY key) {
                        if (walkMode == WALK_CLASS_REFERENCES)
                            ReportScanActivity(path, "AXO");
                        if (key)
                            CheckOpenedKeyReferences(key, name, path, walkMode);
                        else
                            CheckKeyReferences(parent, name, path, walkMode);
                    },
                    filter);
    m_walkSkippedTooDeep = walk.SkippedTooDeep();
}

void CVexaEngineProcess::CheckKeyReferences(HKEY parent, CString keyName, CString keyPath, int walkMode)
{
    if (!KeepRunning())
        return;
    HKEY opened = nullptr;
    if (CRegistryWalk::OpenWithoutLinks(parent, keyName, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return;
    CRegistryKey key(opened);
    CheckOpenedKeyReferences(key, keyName, keyPath, walkMode);
}

void CVexaEngineProcess::CheckOpenedKeyReferences(HKEY key, const CString& keyName, const CString& keyPath,
                                                  int walkMode)
{
    if (!KeepRunning())
        return;
    if (walkMode == WALK_CLASS_REFERENCES) {
        for (const char* tree : kOwnClassTrees)
            if (keyPath.Find(tree) >= 0)
                return;
    }
    if (m_wow64 && walkMode == WALK_FILE_REFERENCES && keyPath.Find(kMachineClasses) >= 0)
        return;

    if (walkMode == WALK_EMPTY_KEYS) {
        CString rootName, rest;
        KeyInformation information;
        if (!information.Query(key))
            return;
        ReportScanActivity(keyPath, "ERK", kEmptyKeyActivityThreshold);
        if (!information.IsEmpty() || keyPath.Find(kDefaultUsersHive) >= 0)
            return;
        SplitKeyPath(keyPath, &rootName, &rest);
        if (CanWriteRegistryKey(rootName, rest))
            ReportFinding(keyPath, SCAN_ERK);
        return;
    }
    if (walkMode != WALK_FILE_REFERENCES && walkMode != WALK_CLASS_REFERENCES)
        return;

    // The value buffers start at a common size and grow when a value needs more: that spares a
    // query of the key's information per key, most of whose values are short.
    CRegistryValueEnum values(key, 0, kInitialValueBuffer);
    CRegistryValue value;
    CString text;
    while (KeepRunning() && values.Next(&value)) {
        if (walkMode == WALK_CLASS_REFERENCES) {
            ReportScanActivity(keyPath, "AXO");
            if (!value.Name.IsEmpty() || keyName != kClassIdKeyName)
                continue;
            FormatValueText(value.Type, value.Data.data(), value.Length, &text);
            if (text.Find('{') < 0)
                continue;
            text.MakeLower();
            if (IsClassRegisteredFor(keyPath, text))
                continue;
            // The key that holds this "CLSID" subkey. Only the last "\CLSID" goes: removing every
            // occurrence would name another key when an ancestor's name also holds the text.
            const CString item = keyPath.Left(keyPath.GetLength() - keyName.GetLength() - 1);
            const CString prefix = CString(kClassesRoot) + "\\";
            const CString below = item.Left(prefix.GetLength()) == prefix ? item.Mid(prefix.GetLength()) : item;
            if (CanWriteRegistryKey(kClassesRoot, below))
                ReportFinding(item, SCAN_AXO);
            continue;
        }

        CheckFileReferenceValue(keyPath, value);
    }
}

void CVexaEngineProcess::CheckFileReferenceValue(const CString& keyPath, const CRegistryValue& value)
{
    const CString displayName = value.Name.IsEmpty() ? CString(kDefaultValueName) : value.Name;
    // The shown text is built only when it will be shown.
    ReportScanActivity(IsActivityDue() ? CString(keyPath + "\\" + displayName) : CString(), "FPR");
    // Only text data can name a file: every other type turns into a "dword:" or
    // "hexvalueinreg--" text (or none), which is never judged.
    if (value.Type != REG_SZ || !MayNameLocalPath(value))
        return;
    CString text;
    FormatValueText(value.Type, value.Data.data(), value.Length, &text);
    ExpandPathVariables(text);
    if (text.Find("dword:") >= 0 || text.Find("hexvalueinreg--") >= 0)
        return;
    if (CheckValueReferences(text) != 0)
        return;
    CString rootName, rest;
    SplitKeyPath(keyPath, &rootName, &rest);
    if (CanWriteRegistryKey(rootName, rest))
        ReportFinding(keyPath + ITEM_VALUE_SEPARATOR + displayName, SCAN_FPR);
}

bool CVexaEngineProcess::IsWalkedForFileReferences(const CString& keyPath) const
{
    // The three trees the file-reference scan walks; the current user's hive is part of
    // HKEY_USERS.
    static const char* const kTrees[] = {"HKEY_USERS\\", "HKEY_CURRENT_USER\\", "HKEY_LOCAL_MACHINE\\SOFTWARE\\",
                                         "HKEY_LOCAL_MACHINE\\System\\"};
    bool walked = false;
    for (const char* tree : kTrees) {
        const int length = static_cast<int>(std::strlen(tree));
        walked = walked || (keyPath.GetLength() > length && keyPath.Left(length).CompareNoCase(tree) == 0);
    }
    if (!walked || !m_wow64)
        return walked;
    // Under WOW64 the walk neither enters the 32-bit mirrors nor judges the machine's classes.
    return !ContainsNoCase(keyPath, kWow64Node) && keyPath.Find(kMachineClasses) < 0;
}

void CVexaEngineProcess::CheckFileReferenceItem(const CString& item)
{
    _REGISTRY_ITEM entry;
    if (!SplitRegistryItem(item, &entry) || !entry.IsValue)
        return;
    const CString keyPath = MakeKeyItem(entry.Root, entry.KeyPath);
    if (!IsWalkedForFileReferences(keyPath))
        return;
    CRegistryKey key;
    if (key.Open(entry.Root, entry.KeyPath, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return;
    // The value the repair would delete: "(Default)" is the unnamed value where the key has one.
    CRegistryValue value;
    const bool unnamed = entry.ValueName.CompareNoCase(kDefaultValueName) == 0 &&
                         ReadRegistryValue(key, "", &value) == ERROR_SUCCESS;
    if (unnamed || ReadRegistryValue(key, entry.ValueName, &value) == ERROR_SUCCESS)
        CheckFileReferenceValue(keyPath, value);
}

void CVexaEngineProcess::CheckEmptyKeyItem(const CString& item)
{
    _REGISTRY_ITEM entry;
    if (!SplitRegistryItem(item, &entry) || entry.IsValue ||
        (entry.Root != HKEY_USERS && entry.Root != HKEY_CURRENT_USER))
        return;
    // The key itself is looked at, never its parent's list: a key that gained a value or a
    // subkey since the scan is no longer empty.
    CRegistryKey key;
    if (key.Open(entry.Root, entry.KeyPath, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return;
    const int slash = entry.KeyPath.ReverseFind('\\');
    CheckOpenedKeyReferences(key, entry.KeyPath.Mid(slash + 1), MakeKeyItem(entry.Root, entry.KeyPath),
                             WALK_EMPTY_KEYS);
}
