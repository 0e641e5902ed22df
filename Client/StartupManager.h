// CStartupManager: the programs that start with Windows, as the startup manager page shows and
// changes them, without any window. It reads the two Run keys and the two Startup folders with
// the entries disabled earlier, and disables, enables and removes entries. Disabled entries are
// recorded where the system configuration tool records its own, so that each sees the other's:
// Run values under "...\MSConfig\startupreg", shortcuts under "...\MSConfig\startupfolder" (both
// in HKEY_LOCAL_MACHINE's 64-bit view), the shortcut files themselves in the folder "pss" of the
// Windows folder.
#pragma once

#include <shlobj.h>

#include <vector>

#include "Afx.h"
#include "ComPointer.h"

// Where the shortcuts live; the system's folders unless a caller (a test) names others.
struct STARTUP_FOLDERS
{
    CString user;    // the user's Startup folder
    CString common;  // the all-users Startup folder
    CString backup;  // disabled shortcuts, with a trailing backslash: %WINDIR%\pss\ .

    static STARTUP_FOLDERS FromSystem();
};

struct StartupRegItem
{
    CString name;          // the Run value's name
    CString command;       // the value's text, or for a multi-string value one of its strings
    int disabled = 0;
    int localMachine = 0;  // 1 for HKEY_LOCAL_MACHINE, 0 for HKEY_CURRENT_USER
    CString storeKey;      // disabled: the entry's subkey in the startupreg store
    int stringIndex = -1;  // enabled: the string's index in a multi-string value; -1 for a whole value
};

struct StartupFolderItem
{
    CString name;        // the file name without its extension
    CString command;     // the shortcut's target, or the file's own path
    CString backupPath;  // where the file is kept while disabled
    CString location;    // "Startup" or "Common Startup"
    CString path;        // the file in its Startup folder
    CString storeKey;    // its subkey in the startupfolder store: the path with "^" for "\"
    int disabled = 0;
    int common = 0;      // 1 for the all-users Startup folder
};

class CStartupManager
{
public:
    explicit CStartupManager(const STARTUP_FOLDERS& folders = STARTUP_FOLDERS::FromSystem());
    ~CStartupManager();
    CStartupManager(const CStartupManager&) = delete;
    CStartupManager& operator=(const CStartupManager&) = delete;

    void SetFolders(const STARTUP_FOLDERS& folders) { m_folders = folders; }
    const STARTUP_FOLDERS& GetFolders() const { return m_folders; }

    // Reads everything again: Run values, disabled Run values, Startup folders, disabled shortcuts.
    void Refresh();
    const std::vector<StartupRegItem>& RegItems() const { return m_regItems; }
    const std::vector<StartupFolderItem>& FolderItems() const { return m_folderItems; }

    // Each acts on the registry and the files as they are now, not as the last Refresh saw them.
    BOOL Disable(const StartupRegItem& item);
    BOOL Enable(const StartupRegItem& item);
    BOOL Remove(const StartupRegItem& item);
    BOOL Disable(const StartupFolderItem& item);
    BOOL Enable(const StartupFolderItem& item);
    BOOL Remove(const StartupFolderItem& item);
    // Every entry of the last Refresh. Enabling takes first the entries that put their value
    // back exactly as it was, so that a multi-string value disabled string by string comes back
    // byte for byte.
    void DisableAll();
    void EnableAll();

    // The program's name in a command line: C:\Program Files\Tool\Tool.exe /min gives Tool.
    static CString ExtractProgramName(const CString& command);

private:
    void EnumRunValues();
    void ReadDisabledRegItems();
    void EnumStartupFolders();
    void EnumStartupFolder(const CString& folder, bool common);
    void ReadDisabledFolderItems();
    BOOL ResolveShortcut(const CString& path, CString* target);
    BOOL RestoresExactly(const StartupRegItem& item);

    STARTUP_FOLDERS m_folders;
    CComPointer<IShellLinkA> m_shellLink;
    std::vector<StartupRegItem> m_regItems;
    std::vector<StartupFolderItem> m_folderItems;
};
