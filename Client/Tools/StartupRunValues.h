// CStartupRunValues: the Run values of both roots and the startupreg store's records of those
// disabled (HKEY_LOCAL_MACHINE "...\MSConfig\startupreg", where the system configuration tool keeps
// its own). A record holds the tool's values and, for entries disabled here, the value's name,
// type and bytes, so that the value comes back exactly. The strings of one multi-string value
// that left it, together or one after another, form a group: one of their records holds the list
// as it was before the first left, each has its string's index there, so that they come back in
// their places in whatever order they are enabled, and the strings of one value are moved with one
// write of it. Everything goes by the real (wide) names; enabling never writes over a value that
// exists.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Afx.h"
#include "RegistryValues.h"

// Why an action on an entry did not happen.
enum STARTUP_RESULT
{
    STARTUP_DONE = 0,
    STARTUP_CHANGED,          // the entry is no longer as the list showed it
    STARTUP_REGISTRY_FAILED,  // a key or value could not be written or deleted
    STARTUP_UNKNOWN_TYPE,     // a value of a type that is not written back into a Run key
    STARTUP_COPY_KEPT,        // a disabled copy of the shortcut (its file or its record) is already kept
    STARTUP_MOVE_FAILED,      // the shortcut's file could not be moved
    STARTUP_OUTSIDE_FOLDERS,  // its record names a file outside the Startup folders and the backup folder
    STARTUP_DELETE_FAILED,    // the file could not be deleted
};

struct StartupRegItem
{
    CString name;            // the Run value's name as the list shows it (in the code page)
    CString command;         // its text, or for a multi-string value one of its strings, as shown
    int disabled = 0;
    int localMachine = 0;    // 1 for HKEY_LOCAL_MACHINE, 0 for HKEY_CURRENT_USER
    std::wstring valueName;  // the value's real name: every action goes by it
    std::wstring text;       // the real text behind `command`
    std::wstring storeKey;   // disabled: the entry's subkey in the startupreg store
    int stringIndex = -1;    // enabled: the string's index in a multi-string value; -1 for a whole value
};

// One record of the startupreg store.
struct RUN_RECORD
{
    std::wstring storeKey;
    std::wstring valueName;   // our "name", else the subkey's name
    std::wstring command;     // the system configuration tool's "command"
    int localMachine = 0;     // its "hkey" is "HKLM"
    // Without our values the entry comes back as its command, a plain text value, as the tool's own.
    bool exact = false;
    DWORD type = REG_SZ;
    // A whole value's bytes; for strings of a list, the list as it was before the first of them
    // left, held by one of their records only (so the store grows with the list, not its square).
    std::vector<BYTE> value;
    bool holdsValue = false;
    int index = -1;   // one string of a list: its index in the list as it was
    DWORD group = 0;  // the records of strings that left one list, together or one after another
};

class CStartupRunValues
{
public:
    static const wchar_t kRunKey[];
    static const wchar_t kStoreKey[];

    // The types a Run value may have here: text, lists, numbers and bytes; nothing else is
    // disabled, and nothing else is written back from a record.
    static bool IsRunType(DWORD type);
    // The text the list shows for a value that is not a list: text up to its first NUL; for a
    // value of numbers or bytes, its bytes read as code-page text.
    static std::wstring TextOf(const REG_VALUE_DATA& value);
    // The program's name in a command line: C:\Program Files\Tool\Tool.exe /min gives Tool; empty
    // without a ".exe" (in any case) after a backslash.
    static std::wstring ProgramName(const std::wstring& command);

    // Reads every record of the store as it is now.
    void Load();
    const std::vector<RUN_RECORD>& Records() const { return m_records; }

    // Moves listed entries of one Run value (its strings, or the whole value) into records, with one
    // write of the value; a result for each entry. Call Load first.
    void Disable(const std::vector<const StartupRegItem*>& entries, std::vector<STARTUP_RESULT>* results);
    // Puts records back into their Run values, the strings of one value with one write of it; a
    // result for each. Call Load first.
    void Enable(const std::vector<std::wstring>& storeKeys, std::vector<STARTUP_RESULT>* results);
    // Deletes an enabled entry's value (or its string of a list), or a disabled entry's record.
    // Call Load first.
    STARTUP_RESULT Remove(const StartupRegItem& item);

private:
    struct VALUE_KEY
    {
        int localMachine;
        std::wstring upperName;
        bool operator<(const VALUE_KEY& other) const;
    };
    // Records of strings that left one list: `indices` of its strings as it was.
    struct RUN_GROUP
    {
        DWORD id = 0;
        size_t holder = 0;                  // the record that holds the list's bytes
        std::vector<size_t> records;
        std::set<int> indices;
        std::vector<std::wstring> strings;  // the list before any left
    };

    void AddRecord(const RUN_RECORD& record);
    std::vector<RUN_GROUP> GroupsOf(int localMachine, const std::wstring& valueName) const;
    const RUN_GROUP* GroupOf(const std::vector<RUN_GROUP>& groups, size_t record) const;
    BOOL HoldList(HKEY store, const RUN_GROUP& group, const std::set<size_t>& leaving, const std::vector<BYTE>* list) const;
    STARTUP_RESULT RemoveRecord(const std::wstring& storeKey);
    BOOL ForgetString(HKEY store, const RUN_GROUP& group, int index, const std::set<size_t>& leaving) const;
    std::wstring TakeStoreName(const std::wstring& valueName);
    RUN_RECORD NewRecord(const StartupRegItem& entry, DWORD type);
    BOOL WriteRecord(HKEY store, const RUN_RECORD& record);
    void DisableWhole(HKEY run, const StartupRegItem& entry, const REG_VALUE_DATA& value, STARTUP_RESULT* result);
    void DisableStrings(HKEY run, const std::vector<const StartupRegItem*>& entries, const REG_VALUE_DATA& value,
                        std::vector<STARTUP_RESULT>* results);
    STARTUP_RESULT CommitRecords(HKEY run, const std::wstring& valueName, const std::vector<RUN_RECORD>& records,
                                 const std::vector<std::wstring>& remaining);
    STARTUP_RESULT EnableGroup(const RUN_GROUP& group, const std::vector<size_t>& chosen);
    STARTUP_RESULT EnableAlone(const RUN_RECORD& record);
    std::wstring FreeRunName(HKEY run, int localMachine, const std::wstring& valueName);

    std::vector<RUN_RECORD> m_records;
    std::map<std::wstring, size_t> m_byStoreKey;          // upper-case subkey name -> record
    std::map<VALUE_KEY, std::vector<size_t>> m_byValue;  // multi-string records by their value
    std::set<std::wstring> m_takenNames;                 // upper-case subkey names of the store
    std::map<std::wstring, int> m_nextNumber;            // upper-case base name -> next number to try
    std::map<std::wstring, int> m_nextRunNumber;         // the same for names of Run values, by root
};
