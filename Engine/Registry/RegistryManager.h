// CRegistryManager: the engine's registry access by full text path, used by the backup,
// restore and repair jobs. The process object's Stop reaches a running export through Cancel.
#pragma once

#include <atomic>
#include <vector>

#include "VexaEngine.h"

class CXmlWriter;
class CXmlReader;

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
    CString Name;         // in the system code page; empty for the unnamed value
    bool Unnamed = false;
    // The name holds characters the system code page cannot carry: Name is not usable.
    bool NameLost = false;
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

class CRegistryManager
{
public:
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
    // The values of a key with their bytes as stored, in enumeration order.
    static bool EnumRawValues(HKEY key, std::vector<_REGISTRY_RAW_VALUE>* values);

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
    // key. 1 / 0 as ExportRegistry.
    int ExportItems(const char* file, CAbstractScanItemsInfo* items);
    // Restores a backup file. 1 when everything in it was restored; 0 when the file could not
    // be read to its end or a key or value could not be restored (the rest is still restored).
    int ImportFile(const char* file);

    // What the last export or import left out or could not restore.
    int GetSkippedCount() const { return m_skipped; }
    int GetFailedCount() const { return m_failed; }

protected:
    // One key chain from its root (writes nothing when the key cannot be opened).
    int ExportKey(const CString& keyText, CXmlWriter* writer);
    // The values and subkeys of an open key, one level below the writer's depth. 0 only when
    // the export was stopped; a key that cannot be read is left out and counted.
    int WriteKey(CXmlWriter* writer, const CString& name, HKEY key);
    void WriteValue(CXmlWriter* writer, const _REGISTRY_RAW_VALUE& value);
    int ImportXml(CXmlReader* reader);

    CAbstractStatus* m_status;
    // Written by the user-interface thread, read by the job thread.
    std::atomic<int> m_continue{0};
    int m_skipped = 0;
    int m_failed = 0;
};
