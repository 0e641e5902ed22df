// CRegistryManager: the engine's registry access by full text path, used by the backup,
// restore and repair jobs. The process object's Stop reaches a running export through Cancel.
#pragma once

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "VexaEngine.h"

class CXmlWriter;
class CXmlReader;
class CRegistryKey;
class CRegistryNames;

// One value of a key as text, as EnumValues lists it.
struct _REGISTRY_VALUE {
    void Set(const CString& name, const CString& data, DWORD type)
    {
        Name = name;
        Data = data;
        Type = type;
    }
    const CString& GetName() const { return Name; }
    const CString& GetData() const { return Data; }

    CString Name;  // "(Default)" for the unnamed value
    CString Data;  // text form; "(value not set)" for an unnamed value without data
    DWORD Type = REG_SZ;
};

// One value of a key exactly as stored: the bytes are those the wide-character registry calls
// give, so strings are UTF-16.
struct _REGISTRY_RAW_VALUE {
    std::wstring WideName;  // the name as the registry holds it; empty for the unnamed value
    CString Name;           // in the system code page; empty for the unnamed value
    bool Unnamed = false;
    // The name holds characters the system code page cannot carry: Name is not usable.
    bool NameLost = false;
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

// What one restore did. Keys and values are counted below the roots; what stands in or below a
// key that could not be written is skipped.
struct _RESTORE_RESULT {
    int KeysRestored = 0;
    int KeysFailed = 0;
    int KeysSkipped = 0;
    int ValuesRestored = 0;
    int ValuesFailed = 0;
    int ValuesSkipped = 0;
    // The keys that could not be written, as full paths.
    std::vector<CString> FailedKeys;
    // Why the file was refused as a whole, before anything was written; empty when it was read.
    CString Error;

    bool IsComplete() const
    {
        return Error.IsEmpty() && KeysFailed + KeysSkipped + ValuesFailed + ValuesSkipped == 0;
    }
};

class CRegistryManager
{
public:
    // Keys below a root are never deeper than this: a restore refuses a file that nests keys
    // deeper, a backup leaves deeper keys out, and the delete reaches this deep.
    static constexpr int kMaxKeyDepth = 512;

    explicit CRegistryManager(CAbstractStatus* status) : m_status(status) {}
    virtual ~CRegistryManager() {}
    CRegistryManager(const CRegistryManager&) = delete;
    CRegistryManager& operator=(const CRegistryManager&) = delete;

    // Clears the continue flag: a running export stops at its next key.
    void Cancel() { m_continue = 0; }
    int IsContinuing() const { return m_continue; }

    // ---- Keys and values by text path ("HKEY_CURRENT_USER\Software\X") ----

    // Opens rootName\subKey (the root itself for an empty subKey) with the given access.
    // A Win32 error code; an unknown root name gives ERROR_INVALID_HANDLE and opens nothing.
    static LONG OpenKey(const char* subKey, const char* rootName, REGSAM access, HKEY* key);

    // Deletes the key and all its subkeys. 1 when the key is gone afterwards (an absent key
    // counts as deleted), 0 when the text names no key below a root or a part could not be
    // deleted. A root itself is never deleted.
    int DeleteKey(const char* keyText);
    // Deletes parent\subKey with everything below it; the recursive step of DeleteKey. Works
    // through open handles, so no path is ever built, cut or guessed.
    static int DeleteKeyTree(HKEY parent, const wchar_t* subKey);
    // Deletes the value named after the last backslash of valueText ("ROOT\key\name").
    int DeleteValue(const char* valueText);
    // The key exists and can be opened for reading.
    int KeyExists(const char* keyText);

    // Lists a key's values as text, unnamed value first as "(Default)". A value that grows
    // while it is listed is read again, never dropped.
    void EnumValues(HKEY key, std::vector<_REGISTRY_VALUE>* values);
    // The values of a key with their bytes as stored, in enumeration order. False when the key
    // cannot be queried; values that could not be read are counted in *unreadable when given
    // (those of a key deleted meanwhile are not: they are gone, not unreadable). Values created
    // or deleted while they are read make it read them again, each by its name: a deletion never
    // pushes out a value that stays.
    static bool EnumRawValues(HKEY key, std::vector<_REGISTRY_RAW_VALUE>* values, int* unreadable = nullptr);

    // Value data as text by type; never reads past `size` bytes.
    static CString FormatValueData(const BYTE* data, DWORD type, DWORD size);
    // Text to value data by type. False when the type has no text form or the text is not a
    // well-formed one (such a value is better left unwritten).
    static bool ParseValueData(DWORD type, const CString& text, std::vector<BYTE>* data);
    static CString TypeToName(DWORD type);
    static DWORD NameToType(const char* name);
    static bool HexToByte(char high, char low, BYTE* byte);

    // Sets a value from its text form; "(Default)" (any case) names the unnamed value.
    // An ERROR_ code, ERROR_SUCCESS when written.
    static LONG SetValue(const char* name, HKEY key, const CString& dataText, const char* typeName);

    // ---- Backup files (".rbk") ----

    // The five roots into one file. 1 when complete; 0 when stopped or the file could not be
    // written completely (the caller then deletes it).
    int ExportRegistry(const char* file);
    // The keys named by the container's items that are not excluded; value items export their
    // key. 1 / 0 as ExportRegistry. An item whose key could not be written whole is remembered
    // (IsItemBackedUp).
    int ExportItems(const char* file, CAbstractScanItemsInfo* items);
    // Restores a backup file. The whole file is read and checked first: a file that fails the
    // check (cut short, damaged, nesting keys too deep) writes nothing. 1 when everything in it
    // was restored; else 0, with GetRestoreResult telling what happened (a key that cannot be
    // written does not stop the rest). The status hears the same: see ACTIVITY_RESTORE.
    int ImportFile(const char* file);

    // What the last export left out because it could not be read: keys (with everything below
    // them; a key whose subkeys could not all be listed counts as one), values, and both.
    int GetSkippedKeyCount() const { return m_skippedKeys; }
    int GetSkippedValueCount() const { return m_skippedValues; }
    int GetSkippedCount() const { return m_skippedKeys + m_skippedValues; }
    // The key chains the last export wrote: 0 for a backup that holds no key at all.
    int GetExportedKeyCount() const { return m_exportedKeys; }
    // Whether the last ExportItems wrote the item's key with everything below it (or found it
    // gone); only such an item may be deleted.
    bool IsItemBackedUp(const char* item) const { return m_incompleteItems.count(CString(item)) == 0; }
    const _RESTORE_RESULT& GetRestoreResult() const { return m_restore; }

protected:
    // Sets the continue flag and clears what the last export counted.
    void BeginExport();
    // One key chain from its root (writes nothing when the key cannot be opened). *complete
    // tells whether the key and everything below it were written, or the key does not exist.
    int ExportKey(const CString& keyText, CXmlWriter* writer, bool* complete = nullptr);
    // The values and subkeys of an open key `depth` levels below its root, one level below the
    // writer's depth. 0 only when the export was stopped; a key that cannot be read, or lies
    // deeper than kMaxKeyDepth, is left out and counted.
    int WriteKey(CXmlWriter* writer, const std::wstring& name, HKEY key, int depth);
    // The subkeys of an open key, `depth` levels below its root, each opened by its name after
    // the listing has read all names. 0 only when the export was stopped.
    int WriteSubkeys(CXmlWriter* writer, CRegistryNames* listing, HKEY key, int depth);
    // Opens a subkey WriteSubkeys listed, `depth` levels below its root. False when it is not
    // written: too deep or unreadable (counted), or deleted since it was listed (not counted).
    bool OpenListedSubkey(HKEY parent, const std::wstring& name, int depth, CRegistryKey* subKey);
    void WriteValue(CXmlWriter* writer, const _REGISTRY_RAW_VALUE& value);
    // Both readings of a restore: the check, then the writing.
    int ImportXml(CXmlReader* reader);
    // Tells the status what the last restore did.
    void ReportRestore();

    CAbstractStatus* m_status;
    // Written by the user-interface thread, read by the job thread.
    std::atomic<int> m_continue{0};
    int m_skippedKeys = 0;
    int m_skippedValues = 0;
    int m_exportedKeys = 0;
    std::set<CString> m_incompleteItems;
    _RESTORE_RESULT m_restore;
};
