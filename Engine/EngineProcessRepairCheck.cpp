// The repair's second look: just before an item is deleted, its category's own check runs again
// on the one unit that holds it, with the findings captured instead of reported. Only an item
// the check finds again is deleted; one that is still there but no longer an error stays.
#include "EngineProcess.h"

#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Scanners/FindingCapture.h"
#include "Wow64.h"

namespace {

const char kDefaultValueName[] = "(Default)";

bool KeyExists(HKEY root, const CString& keyPath, HKEY* opened)
{
    return ::RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, opened) != ERROR_FILE_NOT_FOUND;
}

bool ValueExists(HKEY key, const char* name)
{
    return ::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND;
}

} // namespace

void CVexaEngineProcess::BeginRecheck()
{
    // A program installed since the scan counts as present: nothing the scan learnt is kept.
    m_wow64 = CWow64::IsWow64();
    m_pathVariables.Reset();
    m_fileReferences.Reset();
    m_recheckLists = _RECHECK_LISTS();
    for (const CString& folder : m_walkedJunkFolders)
        m_recheckLists.junkFolders.push_back(std::make_unique<CFolderFiles>(folder));
}

void CVexaEngineProcess::EndRecheck()
{
    // The shortcut reader belongs to the job's thread: it goes before the thread ends.
    m_recheckLists = _RECHECK_LISTS();
}

CVexaEngineProcess::RECHECK_RESULT CVexaEngineProcess::RecheckItem(const CString& item, int category)
{
    using Check = void (CVexaEngineProcess::*)(const CString&);
    struct CategoryCheck {
        DWORD bit;
        Check check;
    };
    // In the order in which the repair tests an item's category bits.
    static const CategoryCheck kChecks[] = {
        {SCAN_SUI, &CVexaEngineProcess::CheckStartupItem},
        {SCAN_FAS, &CVexaEngineProcess::CheckFileAssociationItem},
        {SCAN_FNT, &CVexaEngineProcess::CheckFontItem},
        {SCAN_AXO, &CVexaEngineProcess::CheckActiveXItem},
        {SCAN_SRC, &CVexaEngineProcess::CheckShortcutItem},
        {SCAN_SRV, &CVexaEngineProcess::CheckServiceItem},
        {SCAN_APP, &CVexaEngineProcess::CheckAppPathItem},
        {SCAN_SHD, &CVexaEngineProcess::CheckSharedDllItem},
        {SCAN_UIE, &CVexaEngineProcess::CheckUninstallItem},
        {SCAN_HLP, &CVexaEngineProcess::CheckHelpItem},
        {SCAN_FPR, &CVexaEngineProcess::CheckFileReferenceItem},
        {SCAN_ERK, &CVexaEngineProcess::CheckEmptyKeyItem},
        {SCAN_ITL, &CVexaEngineProcess::CheckTypeLibraryItem},
        {SCAN_SAE, &CVexaEngineProcess::CheckSoundEventItem},
    };
    for (const CategoryCheck& entry : kChecks) {
        if (!(static_cast<DWORD>(category) & entry.bit))
            continue;
        // What the check finds is there; only what it does not find may be gone.
        if (IsFoundNow(item, static_cast<int>(entry.bit), entry.check))
            return RECHECK_STILL_BROKEN;
        if (!ItemEntryExists(item, static_cast<int>(entry.bit)))
            return RECHECK_GONE;
        // A check cut short by a stop may have missed the item: that proves nothing.
        return KeepRunning() ? RECHECK_NO_LONGER_BROKEN : RECHECK_STOPPED;
    }
    return RECHECK_NO_LONGER_BROKEN;
}

bool CVexaEngineProcess::IsFoundNow(const CString& item, int category, void (CVexaEngineProcess::*check)(const CString&))
{
    // The scanners report to the job's status: for the length of the check they report to the
    // capture, so no finding, activity text or progress step of theirs reaches the repair's
    // status.
    CFindingCapture capture;
    CAbstractStatus* const jobStatus = m_status;
    m_status = &capture;
    m_rechecking = true;
    (this->*check)(item);
    m_rechecking = false;
    m_status = jobStatus;
    return capture.Holds(item, category);
}

bool CVexaEngineProcess::ItemEntryExists(const CString& item, int category)
{
    if (static_cast<DWORD>(category) & SCAN_SRC)
        return IsDeletableFilePath(item) && ::GetFileAttributesA(item) != INVALID_FILE_ATTRIBUTES;
    _REGISTRY_ITEM entry;
    if (!SplitRegistryItem(item, &entry))
        return false;
    HKEY opened = nullptr;
    if (!KeyExists(entry.Root, entry.KeyPath, &opened))
        return false;
    // A key that is there but cannot be read is judged by its category's check.
    CRegistryKey key(opened);
    // Fonts and shared DLLs lose values only: a key item of theirs names nothing to delete.
    if (!entry.IsValue)
        return category != SCAN_FNT && category != SCAN_SHD;
    if (!key.IsOpen())
        return true;
    // "(Default)" of the file-reference scan is the unnamed value where the key has one, as for
    // the deletion.
    if (category == SCAN_FPR && entry.ValueName.CompareNoCase(kDefaultValueName) == 0 && ValueExists(key, ""))
        return true;
    return ValueExists(key, entry.ValueName);
}

const CFolderFiles* CVexaEngineProcess::JunkFolderHolding(const CString& item)
{
    for (const auto& folder : m_recheckLists.junkFolders)
        if (folder->Holds(item))
            return folder.get();
    return nullptr;
}
