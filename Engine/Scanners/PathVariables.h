// CPathVariables: turns the percent tokens that registry entries use for shell folders
// ("%WinDir%", "%ProgramFiles%", "%AppData%", ...) into real folders. Folder answers are kept
// for the life of the object (one scan); Reset forgets them.
#pragma once

#include <windows.h>
#include <vector>

#include "AfxString.h"

class CPathVariables
{
public:
    CPathVariables();

    // Forgets the folders read so far and reads the WOW64 state again.
    void Reset();

    // Lower-cases text, then replaces every occurrence of the first token of the table that
    // the text holds by its folder. TRUE when something was replaced. Texts of fewer than 8
    // characters are only lower-cased. Under WOW64 the 32-bit folders that the shell gives
    // are mapped back to the real system and program folders.
    BOOL Expand(CString& text);

    // Expands the variables of the system's own environment ("%ProgramData%", "%ALLUSERSPROFILE%")
    // that the table lacks. TRUE when the text changed.
    static BOOL ExpandEnvironment(CString& text);

    // The user's local settings folder without a trailing backslash: the temporary folder without
    // its last "\Temp\" when it ends so, else taken from the user's local application data folder.
    static CString LocalSettingsFolder(const CString& tempFolder, const CString& localAppDataFolder);

    // The number of tokens in the table, and the text of one (for tests and diagnostics).
    static int TokenCount();
    static const char* Token(int index);

private:
    BOOL Replacement(int index, CString* folder);

    struct CachedFolder {
        bool queried = false;
        bool found = false;
        CString folder;
    };
    std::vector<CachedFolder> m_cache;
    BOOL m_wow64 = FALSE;
};

// A shell folder by its CSIDL number, without a trailing backslash; FALSE when the shell has none.
BOOL GetShellFolder(int csidl, CString* folder);
