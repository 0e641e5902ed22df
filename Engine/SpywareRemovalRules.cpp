#include "SpywareRemovalRules.h"

#include <windows.h>

#include <vector>

#include "DeviceNames.h"
#include "Registry/RegistryPath.h"

namespace {

// A registry or file path as its parts, lower-cased; empty parts (doubled separators) dropped.
typedef std::vector<CString> PARTS;

PARTS SplitParts(const CString& text)
{
    PARTS parts;
    int start = 0;
    for (int at = 0; at <= text.GetLength(); ++at) {
        if (at < text.GetLength() && text[at] != '\\')
            continue;
        if (at > start)
            parts.push_back(CString(text.Mid(start, at - start)).MakeLower());
        start = at + 1;
    }
    return parts;
}

PARTS Rest(const PARTS& parts, size_t from)
{
    return from < parts.size() ? PARTS(parts.begin() + static_cast<std::ptrdiff_t>(from), parts.end()) : PARTS();
}

// Whether the key is the store itself or one of the keys above it.
bool IsAtOrAbove(const PARTS& key, const char* store)
{
    const PARTS storeParts = SplitParts(store);
    if (key.size() > storeParts.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i)
        if (key[i] != storeParts[i])
            return false;
    return true;
}

bool IsAtOrAboveAny(const PARTS& key, const char* const* stores, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (IsAtOrAbove(key, stores[i]))
            return true;
    return false;
}

// Shared stores below a SOFTWARE key: the places where many programs register themselves.
const char* const kSoftwareStores[] = {
    "classes",
    "clients",
    "odbc",
    "policies",
    "registeredapplications",
    "wow6432node",
    "microsoft\\active setup\\installed components",
    "microsoft\\code store database\\distribution units",
    "microsoft\\internet explorer\\explorer bars",
    "microsoft\\internet explorer\\extensions",
    "microsoft\\internet explorer\\main",
    "microsoft\\internet explorer\\menuext",
    "microsoft\\internet explorer\\searchscopes",
    "microsoft\\internet explorer\\toolbar",
    "microsoft\\windows\\currentversion\\app paths",
    "microsoft\\windows\\currentversion\\explorer\\browser helper objects",
    "microsoft\\windows\\currentversion\\explorer\\sharedtaskscheduler",
    "microsoft\\windows\\currentversion\\explorer\\shellexecutehooks",
    "microsoft\\windows\\currentversion\\explorer\\shelliconoverlayidentifiers",
    "microsoft\\windows\\currentversion\\internet settings",
    "microsoft\\windows\\currentversion\\policies",
    "microsoft\\windows\\currentversion\\run",
    "microsoft\\windows\\currentversion\\runonce",
    "microsoft\\windows\\currentversion\\runonceex",
    "microsoft\\windows\\currentversion\\runservices",
    "microsoft\\windows\\currentversion\\runservicesonce",
    "microsoft\\windows\\currentversion\\shell extensions\\approved",
    "microsoft\\windows\\currentversion\\shellserviceobjectdelayload",
    "microsoft\\windows\\currentversion\\shareddlls",
    "microsoft\\windows\\currentversion\\uninstall",
    "microsoft\\windows nt\\currentversion\\image file execution options",
    "microsoft\\windows nt\\currentversion\\windows",
    "microsoft\\windows nt\\currentversion\\winlogon\\notify",
};

// Shared stores of the class registrations (HKEY_CLASSES_ROOT, SOFTWARE\Classes). File types
// (".txt") are shared by nature and kept whole as well.
const char* const kClassesStores[] = {
    "*\\shellex\\contextmenuhandlers",
    "*\\shellex\\propertysheethandlers",
    "allfilesystemobjects\\shellex\\contextmenuhandlers",
    "appid",
    "applications",
    "batfile",
    "clsid",
    "cmdfile",
    "comfile",
    "directory\\background\\shellex\\contextmenuhandlers",
    "directory\\shellex\\contextmenuhandlers",
    "dllfile",
    "drive\\shellex\\contextmenuhandlers",
    "exefile",
    "file",
    "folder\\shellex\\contextmenuhandlers",
    "ftp",
    "htmlfile",
    "http",
    "https",
    "interface",
    "internetshortcut",
    "lnkfile",
    "mime\\database",
    "protocols\\filter",
    "protocols\\handler",
    "protocols\\name-space handler",
    "typelib",
    "unknown",
    "wow6432node",
};

bool IsProtectedInClasses(const PARTS& key)
{
    if (key.empty())
        return true;
    if (key[0] == "wow6432node" && key.size() > 1)
        return IsProtectedInClasses(Rest(key, 1));
    if (key.size() == 1 && key[0][0] == '.')
        return true;
    return IsAtOrAboveAny(key, kClassesStores, sizeof(kClassesStores) / sizeof(kClassesStores[0]));
}

bool IsProtectedInSoftware(const PARTS& key)
{
    if (key.empty())
        return true;
    if (key[0] == "wow6432node" && key.size() > 1)
        return IsProtectedInSoftware(Rest(key, 1));
    if (key[0] == "classes" && key.size() > 1)
        return IsProtectedInClasses(Rest(key, 1));
    return IsAtOrAboveAny(key, kSoftwareStores, sizeof(kSoftwareStores) / sizeof(kSoftwareStores[0]));
}

// Below SYSTEM only a service's own key ("<control set>\Services\<name>") may go whole.
bool IsProtectedInSystem(const PARTS& key)
{
    const bool controlSet = !key.empty() && (key[0] == "currentcontrolset" || key[0].Left(10) == "controlset");
    return !(controlSet && key.size() >= 3 && key[1] == "services");
}

// A user's hive: HKEY_CURRENT_USER, or a user below HKEY_USERS.
bool IsProtectedInUserHive(const PARTS& key)
{
    if (!key.empty() && key[0] == "software")
        return IsProtectedInSoftware(Rest(key, 1));
    // Control Panel, Environment and the like keep their first two levels.
    return key.size() <= 2;
}

bool IsProtectedBelowRoot(HKEY root, const PARTS& key)
{
    if (key.empty())
        return true;
    if (root == HKEY_CLASSES_ROOT)
        return IsProtectedInClasses(key);
    if (root == HKEY_CURRENT_USER)
        return IsProtectedInUserHive(key);
    if (root == HKEY_USERS) {
        if (key.size() == 1)
            return true;
        const CString& user = key[0];
        if (user.GetLength() > 8 && user.Right(8) == "_classes")
            return IsProtectedInClasses(Rest(key, 1));
        return IsProtectedInUserHive(Rest(key, 1));
    }
    if (root == HKEY_LOCAL_MACHINE) {
        if (key[0] == "software")
            return IsProtectedInSoftware(Rest(key, 1));
        if (key[0] == "system")
            return IsProtectedInSystem(Rest(key, 1));
        // HARDWARE, SAM, SECURITY and the like hold nothing a program may own.
        return true;
    }
    return key.size() <= 2;
}

bool IsDotsOnly(const CString& part)
{
    for (int i = 0; i < part.GetLength(); ++i)
        if (part[i] != '.' && part[i] != ' ')
            return false;
    return true;
}

bool IsAsciiLetter(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

} // namespace

bool IsProtectedRegistryKey(const CString& keyText)
{
    HKEY root = nullptr;
    CString subKey;
    if (!SplitRegistryKeyText(keyText, &root, &subKey))
        return true;
    return IsProtectedBelowRoot(root, SplitParts(subKey));
}

bool JudgeRemovablePath(const CString& path, CString* fullPath)
{
    CString text(path);
    text.Replace('/', '\\');
    // "X:\" and at least one part below it; nothing that starts with "\\" (network, device).
    if (text.GetLength() < 4 || !IsAsciiLetter(text[0]) || text[1] != ':' || text[2] != '\\')
        return false;
    for (int i = 0; i < text.GetLength(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch < 0x20 || (i > 1 && ch == ':') || CString("*?\"<>|").Find(static_cast<char>(ch)) >= 0)
            return false;
    }
    const CString below = text.Mid(3);
    if (below.Find("\\\\") >= 0 || below[0] == '\\')
        return false;
    const PARTS parts = SplitParts(below);
    if (parts.empty())
        return false;
    for (const CString& part : parts)
        if (IsDotsOnly(part) || IsReservedDeviceName(part))
            return false;

    char full[MAX_PATH + 1] = {};
    const DWORD length = ::GetFullPathNameA(text, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    CString normalised(full);
    normalised.TrimRight('\\');
    if (normalised.GetLength() < 4 || normalised.Left(3).CompareNoCase(text.Left(3)) != 0)
        return false;
    if (::GetDriveTypeA(text.Left(3)) != DRIVE_FIXED)
        return false;
    if (fullPath)
        *fullPath = normalised;
    return true;
}
