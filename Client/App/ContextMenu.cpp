#include "ContextMenu.h"

#include "Product.h"
#include "SettingsKey.h"

namespace {

const char* const kVerbBases[] = { "*\\shell", "Folder\\shell" };

BOOL SetDefaultValue(HKEY root, const CString& keyName, const CString& text)
{
    CSettingsKey key;
    return key.Open(keyName, root) && key.WriteString(nullptr, text);
}

} // namespace

CString ContextMenuCommand(const CString& programPath)
{
    CString command;
    command.Format("%s%s%s", "\"", static_cast<const char*>(programPath), "\" \"%1\"");
    return command;
}

void RegisterContextMenu(const CString& programPath)
{
    for (const char* base : kVerbBases) {
        CString verbKey, commandKey, verbText;
        verbKey.Format("%s\\%s", base, ProductName());
        commandKey.Format("%s\\%s%s", base, ProductName(), "\\command");
        verbText.Format("%s%s", "Scan with ", ProductName());
        // The command is written only under a verb whose caption could be set.
        if (SetDefaultValue(HKEY_CLASSES_ROOT, verbKey, verbText))
            SetDefaultValue(HKEY_CLASSES_ROOT, commandKey, ContextMenuCommand(programPath));
    }
}

void UnregisterContextMenu()
{
    for (const char* base : kVerbBases) {
        CString verbKey, commandKey;
        verbKey.Format("%s\\%s", base, ProductName());
        commandKey.Format("%s\\%s%s", base, ProductName(), "\\command");
        // A verb whose command is missing is not ours to remove.
        if (::RegDeleteKeyA(HKEY_CLASSES_ROOT, commandKey) == ERROR_SUCCESS)
            ::RegDeleteKeyA(HKEY_CLASSES_ROOT, verbKey);
    }
}
