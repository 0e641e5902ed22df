// The repair job: partial backup of every key it may touch, then deletion of the found items
// by category.
#include "EngineProcess.h"

#include <shellapi.h>

#include "Registry/RegistryKey.h"
#include "Registry/RegistryManager.h"
#include "Registry/RegistryPath.h"

namespace {

// Empty the bin without asking, without progress window and without sound.
const DWORD kEmptyRecycleBinQuietly = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;

bool IsAsciiLetter(char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// The kind of deletion a category's items get.
enum REPAIR_ACTION {
    REPAIR_NONE,
    REPAIR_KEY,
    REPAIR_VALUE,
    REPAIR_VALUE_ELSE_KEY,
    REPAIR_FILE,
    REPAIR_RECYCLE_BIN,
    REPAIR_TEMP_FILE,
};

struct CategoryAction {
    DWORD bit;
    REPAIR_ACTION action;
};

// Tested in this order; the first bit that is set decides.
const CategoryAction kCategoryActions[] = {
    {SCAN_SUI, REPAIR_VALUE_ELSE_KEY},
    {SCAN_FAS, REPAIR_KEY},
    {SCAN_FNT, REPAIR_VALUE},
    {SCAN_AXO, REPAIR_KEY},
    {SCAN_SRC, REPAIR_FILE},
    {SCAN_SRV, REPAIR_KEY},
    {SCAN_APP, REPAIR_KEY},
    {SCAN_SHD, REPAIR_VALUE},
    {SCAN_UIE, REPAIR_KEY},
    // Help-file items of the first store are keys; the rest are values.
    {SCAN_HLP, REPAIR_VALUE_ELSE_KEY},
    {SCAN_FPR, REPAIR_VALUE_ELSE_KEY},
    {SCAN_ERK, REPAIR_KEY},
    {SCAN_ITL, REPAIR_KEY},
    {SCAN_SAE, REPAIR_KEY},
    {SCAN_RCB, REPAIR_RECYCLE_BIN},
    {SCAN_TPF, REPAIR_TEMP_FILE},
};

REPAIR_ACTION ActionOfCategory(int category)
{
    for (const CategoryAction& entry : kCategoryActions)
        if (static_cast<DWORD>(category) & entry.bit)
            return entry.action;
    return REPAIR_NONE;
}

bool IsValueItem(const CString& item)
{
    return SplitValueItem(item, nullptr, nullptr);
}

// The file-reference scan names a key's unnamed value "(Default)"; every other scanner reports
// value names as the registry holds them, the unnamed value as an empty name.
bool NamesUnnamedValueDefault(int category)
{
    return static_cast<DWORD>(category) == SCAN_FPR;
}

} // namespace

int CVexaEngineProcess::StartRepair(CAbstractScanItemsInfo* items, CAbstractStatus* status)
{
    if (!items)
        return -1;
    return StartJob(JOB_REPAIR, status, [&] {
        m_resultItems = items;
        return true;
    });
}

int CVexaEngineProcess::RunRepairJob()
{
    CAbstractScanItemsInfo* items = m_resultItems;
    if (!items)
        return -1;
    // Nothing is deleted that the backup could not give back. A repair without one ends as a
    // failed job: the page hears 0, as after a stop, and the thread's result is -1.
    if (!WriteBackup(true)) {
        m_running = 0;
        return -1;
    }

    // The backup's manager knows which items' keys it could not write whole: those are left
    // alone, so nothing is deleted that the backup cannot give back.
    const CRegistryManager* backup = m_jobRegistryManager.get();
    CRegistryManager manager(m_status);
    _REPAIR_JUNK junk;
    if (!items->MoveFirst())
        return 0;
    BeginRecheck();
    while (KeepRunning()) {
        ReportProgress(PROGRESS_STEP);
        // The user's choice: FALSE repairs the item; an entry beside one the user kept (inside
        // it, or holding it) stays and is told; any other answer passes the item over silently.
        const BOOL kept = items->IsCurrentItemIgnored();
        if (kept == FALSE || kept == ITEM_NEXT_TO_KEPT) {
            const CString item(items->GetCurrentItem());
            const int category = items->GetCurrentCategory();
            if (kept == ITEM_NEXT_TO_KEPT)
                ReportNotDone(item, category, NOT_DONE_HOLDS_KEPT);
            else
                RepairFoundItem(&manager, backup, item, category, &junk);
        }
        if (!items->MoveNext())
            break;
    }
    EndRecheck();

    if (junk.tempFilesDeleted && m_status)
        m_status->ReportItem(ITEM_SIZE_TOTAL, SCAN_TPF, static_cast<int>(junk.tempFileKilobytes), 0);
    if (junk.recycleBinEmptied && m_status)
        m_status->ReportItem(ITEM_SIZE_TOTAL, SCAN_RCB, static_cast<int>(junk.recycleBinKilobytes), 0);
    return 0;
}

void CVexaEngineProcess::RepairFoundItem(CRegistryManager* manager, const CRegistryManager* backup, const CString& item,
                                         int category, _REPAIR_JUNK* junk)
{
    const REPAIR_ACTION action = ActionOfCategory(category);
    if (action == REPAIR_NONE)
        return;
    // Nothing is deleted that the backup could not give back.
    if (backup && !backup->IsItemBackedUp(item)) {
        ReportNotDone(item, category, NOT_DONE_BACKUP_INCOMPLETE);
        return;
    }
    // The junk categories judge their own items as they go: the bin is emptied whole, and a
    // temporary file is looked at again before it is deleted.
    if (action == REPAIR_RECYCLE_BIN || action == REPAIR_TEMP_FILE) {
        RepairItem(manager, item, category, junk);
        return;
    }
    switch (RecheckItem(item, category)) {
    case RECHECK_STILL_BROKEN:
        RepairItem(manager, item, category, junk);
        break;
    case RECHECK_NO_LONGER_BROKEN:
        ReportNotDone(item, category, NOT_DONE_NO_LONGER_BROKEN);
        break;
    case RECHECK_GONE:
    case RECHECK_STOPPED:
        break;
    }
}

void CVexaEngineProcess::ReportNotDone(const CString& item, int category, NOT_DONE_REASON reason)
{
    if (m_status)
        m_status->ReportItem(item, category, ITEM_NOT_DONE, reason);
}

void CVexaEngineProcess::RepairItem(CRegistryManager* manager, const CString& item, int category, _REPAIR_JUNK* junk)
{
    switch (ActionOfCategory(category)) {
    case REPAIR_KEY:
        manager->DeleteKey(item);
        break;
    case REPAIR_VALUE:
        DeleteRegistryValue(item);
        break;
    case REPAIR_VALUE_ELSE_KEY:
        // Items of these categories are values or keys: a key item (no value part) goes with
        // its subkeys, a value item only ever loses its value.
        if (IsValueItem(item))
            DeleteRegistryValue(item, NamesUnnamedValueDefault(category));
        else
            manager->DeleteKey(item);
        break;
    case REPAIR_FILE:
        if (IsDeletableFilePath(item))
            ::DeleteFileA(item);
        break;
    case REPAIR_RECYCLE_BIN:
        if (!m_resultItems->GetIgnoreRecycleBin())
            EmptyRecycleBin(junk);
        break;
    case REPAIR_TEMP_FILE:
        if (!m_resultItems->GetIgnoreTempFiles())
            DeleteTempFile(item, junk);
        break;
    case REPAIR_NONE:
        break;
    }
}

void CVexaEngineProcess::EmptyRecycleBin(_REPAIR_JUNK* junk)
{
    // Every Recycle Bin item stands for the whole bin: it is emptied once.
    if (junk->recycleBinEmptied)
        return;
    SHQUERYRBINFO contents = {};
    contents.cbSize = sizeof(contents);
    const bool measured = SUCCEEDED(::SHQueryRecycleBinA(nullptr, &contents));
    if (::SHEmptyRecycleBinA(nullptr, nullptr, kEmptyRecycleBinQuietly) != S_OK)
        return;
    junk->recycleBinEmptied = true;
    junk->recycleBinKilobytes = measured ? static_cast<double>(contents.i64Size) / 1024 : m_recycleBinKilobytes;
}

void CVexaEngineProcess::DeleteTempFile(const CString& item, _REPAIR_JUNK* junk)
{
    if (!IsDeletableFilePath(item))
        return;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExA(item, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    // Files are never backed up: only one that truly lies in a folder the scan walked for
    // temporary files goes. A link is left whole, since under Wine deleting it deletes the file
    // it points to.
    if (!JunkFolderHolding(item)) {
        ReportNotDone(item, SCAN_TPF, NOT_DONE_NO_LONGER_BROKEN);
        return;
    }
    if (!::DeleteFileA(item))
        return;
    const ULONGLONG bytes = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    junk->tempFilesDeleted = true;
    junk->tempFileKilobytes += static_cast<double>(bytes) / 1024;
}

int CVexaEngineProcess::DeleteRegistryValue(const char* valueItem, bool defaultIsUnnamed)
{
    CString keyText, valueName;
    if (!SplitValueItem(valueItem, &keyText, &valueName))
        return 0;
    HKEY root = nullptr;
    CString subKey;
    if (!SplitRegistryKeyText(keyText, &root, &subKey))
        return 0;
    CRegistryKey key;
    if (key.Open(root, subKey, KEY_SET_VALUE | KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return 0;
    if (defaultIsUnnamed && valueName.CompareNoCase("(default)") == 0 &&
        ::RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        ::RegSetValueA(key, nullptr, REG_SZ, "", 0);
    else
        ::RegDeleteValueA(key, valueName);
    return 1;
}

bool CVexaEngineProcess::IsDeletableFilePath(const CString& item)
{
    const int length = item.GetLength();
    const bool onDrive = length > 3 && IsAsciiLetter(item[0]) && item[1] == ':' && item[2] == '\\';
    // "\\server\share\file": a server and a share before the file's own name.
    bool onShare = false;
    if (length > 4 && item[0] == '\\' && item[1] == '\\' && item[2] != '\\' && item[2] != '?' && item[2] != '.') {
        const int shareSlash = item.Find('\\', 2);
        onShare = shareSlash > 2 && item.Find('\\', shareSlash + 1) > shareSlash + 1;
    }
    if (!onDrive && !onShare)
        return false;
    // No part of the path may climb out of the folder it names.
    return item.Find("\\..\\") < 0 && item.Right(3) != "\\.." && item.FindOneOf("*?\"<>|") < 0;
}
