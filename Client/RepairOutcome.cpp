#include "RepairOutcome.h"

#include "ResultCategories.h"
#include "VexaEngine.h"

namespace {

HKEY RootOfName(const CString& name)
{
    const struct { const char* name; HKEY root; } roots[] = {
        { "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT }, { "HKEY_CURRENT_USER", HKEY_CURRENT_USER },
        { "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE }, { "HKEY_USERS", HKEY_USERS },
        { "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG },
    };
    for (const auto& root : roots) {
        if (name.CompareNoCase(root.name) == 0)
            return root.root;
    }
    return nullptr;
}

bool IsMissingError(LONG error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

CRepairOutcome::~CRepairOutcome()
{
    CloseCachedKey();
}

void CRepairOutcome::CloseCachedKey()
{
    if (m_cachedKey)
        ::RegCloseKey(m_cachedKey);
    m_cachedKey = nullptr;
    m_cachedRoot = nullptr;
    m_cachedSubKey.Empty();
}

BOOL CRepairOutcome::IsGone(const CString& item, DWORD category)
{
    if (category == SCAN_SRC)
        return IsFileGone(item);
    const int slash = item.Find('\\');
    if (slash <= 0)
        return FALSE;
    const HKEY root = RootOfName(item.Left(slash));
    const CString rest = item.Mid(slash + 1);
    if (!root || rest.IsEmpty())
        return FALSE;
    const int separator = rest.Find(ITEM_VALUE_SEPARATOR);
    if (separator < 0)
        return IsKeyGone(root, rest);
    if (separator == 0)
        return FALSE;
    return IsValueGone(root, rest.Left(separator), rest.Mid(separator + 1));
}

BOOL CRepairOutcome::IsKeyGone(HKEY root, const CString& subKey)
{
    HKEY key = nullptr;
    const LONG error = ::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key);
    if (error == ERROR_SUCCESS)
        ::RegCloseKey(key);
    return IsMissingError(error);
}

BOOL CRepairOutcome::IsValueGone(HKEY root, const CString& subKey, const CString& valueName)
{
    if (!m_cachedKey || m_cachedRoot != root || m_cachedSubKey.CompareNoCase(subKey) != 0) {
        CloseCachedKey();
        HKEY key = nullptr;
        const LONG error = ::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key);
        if (error != ERROR_SUCCESS)
            return IsMissingError(error);
        m_cachedKey = key;
        m_cachedRoot = root;
        m_cachedSubKey = subKey;
    }
    const LONG error = ::RegQueryValueExA(m_cachedKey, valueName, nullptr, nullptr, nullptr, nullptr);
    return IsMissingError(error);
}

BOOL CRepairOutcome::IsFileGone(const CString& path)
{
    if (path.IsEmpty())
        return FALSE;
    if (::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return FALSE;
    return IsMissingError(static_cast<LONG>(::GetLastError()));
}

std::map<CString, int> CRepairOutcome::CountGone(const std::map<CString, std::vector<CString>>& entriesByCategory)
{
    std::map<CString, int> gone;
    for (const auto& category : entriesByCategory) {
        const int index = FindResultCategory(category.first);
        if (index < 0)
            continue;
        int count = 0;
        for (const CString& entry : category.second) {
            if (IsGone(entry, kResultCategories[index].bit))
                ++count;
        }
        gone[category.first] = count;
    }
    CloseCachedKey();
    return gone;
}
