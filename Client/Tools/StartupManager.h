// CStartupManager: the programs that start with Windows, as the startup manager page shows and
// changes them, without any window. It reads the two Run keys and the two Startup folders with
// the entries disabled earlier, and disables, enables and removes entries. Disabled entries are
// recorded where the system configuration tool records its own, so that each sees the other's:
// Run values under "...\MSConfig\startupreg" (CStartupRunValues), shortcuts under
// "...\MSConfig\startupfolder" (both in HKEY_LOCAL_MACHINE's 64-bit view), the shortcut files
// themselves in the folder "pss" of the Windows folder. Names and paths go through the wide calls,
// so that an entry whose name the code page cannot show is still the entry it is. A record is
// data: files are moved or deleted only inside "pss" and the two Startup folders, by plain names.
#pragma once

#include <shlobj.h>

#include <string>
#include <vector>

#include "Afx.h"
#include "ComPointer.h"
#include "StartupRunValues.h"

// Where the shortcuts live; the system's folders unless a caller (a test) names others.
struct STARTUP_FOLDERS
{
    std::wstring user;    // the user's Startup folder
    std::wstring common;  // the all-users Startup folder
    std::wstring backup;  // disabled shortcuts, with a trailing backslash: %WINDIR%\pss\ .

    static STARTUP_FOLDERS FromSystem();
};

struct StartupFolderItem
{
    CString name;             // the file name without its extension, as the list shows it
    CString command;          // the shortcut's target, or the file's own path, as shown
    CString location;         // "Startup" or "Common Startup"
    int disabled = 0;
    int common = 0;           // 1 for the all-users Startup folder
    std::wstring itemName;    // the real text behind `name`
    std::wstring target;      // the real text behind `command`
    std::wstring path;        // the file in its Startup folder
    std::wstring backupPath;  // where the file is kept while disabled
    std::wstring storeKey;    // its subkey in the startupfolder store: the path with "^" for "\"
};

// What an action on every entry came to.
struct STARTUP_OUTCOME
{
    int failed = 0;
    STARTUP_RESULT first = STARTUP_DONE;  // the first failure
    CString firstName;                    // its entry, as the list shows it
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
    STARTUP_RESULT Disable(const StartupRegItem& item);
    STARTUP_RESULT Enable(const StartupRegItem& item);
    STARTUP_RESULT Remove(const StartupRegItem& item);
    STARTUP_RESULT Disable(const StartupFolderItem& item);
    STARTUP_RESULT Enable(const StartupFolderItem& item);
    STARTUP_RESULT Remove(const StartupFolderItem& item);
    // Every entry of the last Refresh that is not yet so; the strings of one value with one write
    // of it.
    STARTUP_OUTCOME DisableAll();
    STARTUP_OUTCOME EnableAll();

    // The program's name in a command line: C:\Program Files\Tool\Tool.exe /min gives Tool.
    static CString ExtractProgramName(const CString& command);
    // What the user is told when entries could not be disabled, enabled or removed (`verb`).
    static CString FailureText(const char* verb, const STARTUP_OUTCOME& outcome);
    // Whether `path` is a file directly inside one of `folders`, named by a plain file name (no
    // "..", no wildcard, stream or device); `file` receives it as that folder and that name.
    static bool PlainFileIn(const std::wstring& path, const std::vector<std::wstring>& folders, std::wstring* file);

private:
    void EnumRunValues();
    void ReadDisabledRegItems();
    void EnumStartupFolders();
    void EnumStartupFolder(const std::wstring& folder, bool common);
    void ReadDisabledFolderItems();
    BOOL ResolveShortcut(const std::wstring& path, std::wstring* target);
    std::vector<std::wstring> StartupFolders() const { return { m_folders.user, m_folders.common }; }
    std::vector<std::wstring> BackupFolder() const { return { m_folders.backup }; }
    bool BackupNamedByAnother(HKEY store, const std::wstring& storeKey, const std::wstring& backup) const;

    STARTUP_FOLDERS m_folders;
    CComPointer<IShellLinkW> m_shellLink;
    std::vector<StartupRegItem> m_regItems;
    std::vector<StartupFolderItem> m_folderItems;
};
