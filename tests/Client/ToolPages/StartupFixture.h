// The startup manager's world in a sandbox: a redirected registry, Startup folders and a "pss"
// folder of a temporary folder, shortcuts made through the shell, and the registry's and the
// folders' exact contents for before/after comparisons. Paths are wide, so that files whose names
// the code page cannot hold are made, compared and cleared like any other.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "RegistrySandbox.h"
#include "RegistrySnapshot.h"
#include "StartupManager.h"
#include "TempFolder.h"

extern const char kRunKey[];
extern const char kRunOnceKey[];
extern const char kRegStoreKey[];
extern const char kFolderStoreKey[];

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

// A shortcut file to `target`; false when the shell cannot write it.
bool CreateShortcut(const std::wstring& path, const std::wstring& target);
std::string ReadWholeFileW(const std::wstring& path);
bool FileExistsW(const std::wstring& path);

// Every file below a folder with its contents, by path relative to it.
std::map<std::wstring, std::string> FolderContents(const std::wstring& folder);
// Empties a folder with the wide calls (CTempFolder's clean-up sees such names only as "?").
void RemoveFilesBelow(const std::wstring& folder);
// The three folders of a world below `folder`.
STARTUP_FOLDERS StartupFoldersIn(const CTempFolder& folder);

class CStartupWorld
{
public:
    CStartupWorld();
    ~CStartupWorld();
    const STARTUP_FOLDERS& Folders() const { return m_folders; }
    std::wstring User(const std::wstring& name) const { return m_folders.user + L"\\" + name; }
    std::wstring Common(const std::wstring& name) const { return m_folders.common + L"\\" + name; }
    std::wstring Backup(const std::wstring& name) const { return m_folders.backup + name; }
    std::wstring Outside(const std::wstring& name) const { return Wide(m_folder.Path()) + L"\\" + name; }
    // Both roots' software keys: the Run keys and everything else the manager may touch, exactly.
    RegistrySnapshot RegistryNow() const;
    std::map<std::wstring, std::string> FilesNow() const { return FolderContents(Wide(m_folder.Path())); }

    CRegistrySandbox sandbox;

private:
    CTempFolder m_folder;
    STARTUP_FOLDERS m_folders;
};
