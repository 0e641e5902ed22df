#include "RegistryPath.h"

#include "VexaEngine.h"

namespace {

struct RootName {
    const char* name;
    HKEY key;
};

const RootName kRootNames[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

bool EqualsNoCaseAscii(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return *a == *b;
}

} // namespace

HKEY RegistryRootFromName(const char* rootName)
{
    if (!rootName)
        return nullptr;
    for (const RootName& root : kRootNames)
        if (EqualsNoCaseAscii(rootName, root.name))
            return root.key;
    return nullptr;
}

const char* RegistryRootName(HKEY root)
{
    for (const RootName& entry : kRootNames)
        if (entry.key == root)
            return entry.name;
    return "";
}

bool SplitRegistryKeyText(const char* keyText, HKEY* root, CString* subKey)
{
    const CString text(keyText);
    const int slash = text.Find('\\');
    if (slash <= 0)
        return false;
    const HKEY found = RegistryRootFromName(text.Left(slash));
    CString rest = text.Mid(slash + 1);
    if (!found || rest.IsEmpty())
        return false;
    if (root)
        *root = found;
    if (subKey)
        *subKey = rest;
    return true;
}

bool SplitValueItem(const char* itemText, CString* keyText, CString* valueName)
{
    const CString text(itemText);
    const int separator = text.Find(ITEM_VALUE_SEPARATOR);
    if (separator <= 0)
        return false;
    if (keyText)
        *keyText = text.Left(separator);
    if (valueName)
        *valueName = text.Mid(separator + 1);
    return true;
}

bool ItemKeyText(const char* itemText, CString* keyText)
{
    CString key;
    if (!SplitValueItem(itemText, &key, nullptr))
        key = itemText;
    if (!SplitRegistryKeyText(key, nullptr, nullptr))
        return false;
    if (keyText)
        *keyText = key;
    return true;
}

bool SplitRegistryItem(const char* itemText, _REGISTRY_ITEM* item)
{
    _REGISTRY_ITEM parts;
    CString keyText;
    parts.IsValue = SplitValueItem(itemText, &keyText, &parts.ValueName);
    if (!parts.IsValue)
        keyText = itemText;
    if (!SplitRegistryKeyText(keyText, &parts.Root, &parts.KeyPath))
        return false;
    if (item)
        *item = parts;
    return true;
}

bool ChildKeyName(const CString& keyPath, const char* parentPath, CString* name)
{
    const CString parent(parentPath);
    const int length = parent.GetLength();
    if (keyPath.GetLength() <= length + 1 || keyPath[length] != '\\' || keyPath.Left(length).CompareNoCase(parent) != 0)
        return false;
    const CString child = keyPath.Mid(length + 1);
    if (child.Find('\\') >= 0)
        return false;
    if (name)
        *name = child;
    return true;
}

bool ChildKeyOfItem(const char* itemText, HKEY root, const char* parentPath, CString* name)
{
    _REGISTRY_ITEM entry;
    return SplitRegistryItem(itemText, &entry) && !entry.IsValue && entry.Root == root &&
           ChildKeyName(entry.KeyPath, parentPath, name);
}

CString MakeKeyItem(HKEY root, const char* subKey)
{
    return CString(RegistryRootName(root)) + "\\" + subKey;
}

CString MakeValueItem(HKEY root, const char* subKey, const char* valueName)
{
    return MakeKeyItem(root, subKey) + ITEM_VALUE_SEPARATOR + valueName;
}
