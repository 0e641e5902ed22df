// The startup manager's world in a sandbox: a redirected registry, Startup folders and a "pss"
// folder of a temporary folder, shortcuts made through the shell, and the registry's and the
// folders' exact contents for before/after comparisons.
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

// A shortcut file to `target`; false when the shell cannot write it.
bool CreateShortcut(const std::string& path, const std::string& target);

// Every file below a folder with its contents, by path relative to it.
std::map<std::string, std::string> FolderContents(const std::string& folder);

class CStartupWorld
{
public:
    CStartupWorld();
    const STARTUP_FOLDERS& Folders() const { return m_folders; }
    // Both roots' Run keys and everything else the manager may touch, exactly.
    RegistrySnapshot RegistryNow() const;
    std::map<std::string, std::string> FilesNow() const { return FolderContents(m_folder.Path()); }

    CRegistrySandbox sandbox;

private:
    CTempFolder m_folder;
    STARTUP_FOLDERS m_folders;
};
