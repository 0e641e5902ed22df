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

bool IsFileGone(const CString& path)
{
    if (path.IsEmpty())
        return false;
    if (::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    return IsMissingError(static_cast<LONG>(::GetLastError()));
}

// How often the clock is looked at: each look-up costs a few microseconds.
const size_t kEntriesBetweenClockLooks = 16;

} // namespace

CRepairOutcome::~CRepairOutcome()
{
    CloseKey();
}

void CRepairOutcome::CloseKey()
{
    if (m_key)
        ::RegCloseKey(m_key);
    m_key = nullptr;
    m_bKeyLooked = false;
    m_bAllGone = false;
}

bool CRepairOutcome::Classify(const CString& item, DWORD category, GROUP_KIND* kind, HKEY* root, CString* path,
                              CString* name)
{
    *kind = GROUP_NOTHING;
    if (category == SCAN_SRC) {
        *kind = GROUP_FILES;
        *name = item;
        return true;
    }
    const int slash = item.Find('\\');
    if (slash <= 0)
        return false;
    *root = RootOfName(item.Left(slash));
    const CString rest = item.Mid(slash + 1);
    if (!*root || rest.IsEmpty())
        return false;
    const int separator = rest.Find(ITEM_VALUE_SEPARATOR);
    if (separator == 0)
        return false;
    if (separator > 0) {
        *kind = GROUP_VALUES;
        *path = rest.Left(separator);
        *name = rest.Mid(separator + 1);
        return true;
    }
    // A key: looked at from its parent (the root itself when it has none).
    *kind = GROUP_SUBKEYS;
    const int last = rest.ReverseFind('\\');
    *path = last < 0 ? CString() : rest.Left(last);
    *name = last < 0 ? rest : rest.Mid(last + 1);
    if (name->IsEmpty()) {
        // A trailing backslash: the key is the whole text, opened from its root.
        *path = CString();
        *name = rest;
    }
    return true;
}

BOOL CRepairOutcome::IsGone(const CString& item, DWORD category)
{
    GROUP group;
    CString name;
    if (!Classify(item, category, &group.kind, &group.root, &group.path, &name))
        return FALSE;
    CloseKey();
    bool allGone = false;
    if (group.kind != GROUP_FILES)
        OpenGroupKey(group, &allGone);
    const bool gone = allGone || IsEntryGone(group, name);
    CloseKey();
    return gone ? TRUE : FALSE;
}

void CRepairOutcome::Begin()
{
    CloseKey();
    m_groups.clear();
    m_groupOf.clear();
    m_gone.clear();
    for (int& count : m_goneCounts)
        count = 0;
    m_group = 0;
    m_entry = 0;
    m_lastCategory.Empty();
    m_lastIndex = -1;
}

void CRepairOutcome::NoteCategory(int index)
{
    m_gone.insert(std::make_pair(CString(kResultCategories[index].rowName), 0));
}

void CRepairOutcome::Add(const CString& categoryName, const CString& entry)
{
    if (m_lastIndex < 0 || categoryName != m_lastCategory) {
        m_lastCategory = categoryName;
        m_lastIndex = FindResultCategory(categoryName);
        if (m_lastIndex >= 0)
            NoteCategory(m_lastIndex);
    }
    if (m_lastIndex < 0)
        return;
    GROUP_KIND kind = GROUP_NOTHING;
    HKEY root = nullptr;
    CString path, name;
    if (!Classify(entry, kResultCategories[m_lastIndex].bit, &kind, &root, &path, &name))
        return;   // names nothing that could have been removed: not cleaned
    // Entries of one key come together however their categories interleave. Most follow an
    // entry of the same key: the last group is asked first.
    size_t group = m_groups.size();
    if (!m_groups.empty()) {
        const GROUP& last = m_groups.back();
        if (last.kind == kind && last.root == root && last.path == path)
            group = m_groups.size() - 1;
    }
    if (group == m_groups.size()) {
        const auto found = m_groupOf.insert(std::make_pair(GROUP_KEY(static_cast<int>(kind), std::make_pair(root, path)),
                                                           m_groups.size()));
        if (found.second) {
            GROUP made;
            made.kind = kind;
            made.root = root;
            made.path = path;
            m_groups.push_back(std::move(made));
        }
        group = found.first->second;
    }
    m_groups[group].entries.push_back(std::make_pair(m_lastIndex, std::move(name)));
}

void CRepairOutcome::Begin(const std::map<CString, std::vector<CString>>& entriesByCategory)
{
    Begin();
    for (const auto& category : entriesByCategory) {
        const int index = FindResultCategory(category.first);
        if (index < 0)
            continue;
        NoteCategory(index);
        for (const CString& entry : category.second)
            Add(category.first, entry);
    }
}

bool CRepairOutcome::OpenGroupKey(const GROUP& group, bool* allGone)
{
    *allGone = false;
    HKEY key = nullptr;
    const REGSAM access = group.kind == GROUP_SUBKEYS ? KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE : KEY_QUERY_VALUE;
    const LONG error = ::RegOpenKeyExA(group.root, group.path, 0, access, &key);
    if (error != ERROR_SUCCESS) {
        // A missing key takes all its values and subkeys with it; a key that cannot be looked at
        // leaves each entry to its own look.
        *allGone = IsMissingError(error);
        return false;
    }
    m_key = key;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) == ERROR_SUCCESS)
        *allGone = (group.kind == GROUP_SUBKEYS ? subkeys : values) == 0;
    return true;
}

bool CRepairOutcome::IsEntryGone(const GROUP& group, const CString& name)
{
    if (group.kind == GROUP_FILES)
        return IsFileGone(name);
    if (group.kind == GROUP_SUBKEYS) {
        // From the open parent, or from the root when the parent could not be opened.
        HKEY key = nullptr;
        const LONG error = m_key ? ::RegOpenKeyExA(m_key, name, 0, KEY_QUERY_VALUE, &key)
                                 : ::RegOpenKeyExA(group.root, group.path.IsEmpty() ? name : group.path + "\\" + name,
                                                   0, KEY_QUERY_VALUE, &key);
        if (error == ERROR_SUCCESS)
            ::RegCloseKey(key);
        return IsMissingError(error);
    }
    if (!m_key) {
        HKEY key = nullptr;
        const LONG error = ::RegOpenKeyExA(group.root, group.path, 0, KEY_QUERY_VALUE, &key);
        if (error != ERROR_SUCCESS)
            return IsMissingError(error);
        m_key = key;
    }
    return IsMissingError(::RegQueryValueExA(m_key, name, nullptr, nullptr, nullptr, nullptr));
}

bool CRepairOutcome::LookSome(const CTimeBudget& budget)
{
    if (!LookAtGroups(budget))
        return false;
    for (auto& category : m_gone)
        category.second = m_goneCounts[FindResultCategory(category.first)];
    return true;
}

bool CRepairOutcome::LookAtGroups(const CTimeBudget& budget)
{
    size_t looked = 0;
    while (m_group < m_groups.size()) {
        const GROUP& group = m_groups[m_group];
        if (!m_bKeyLooked && group.kind != GROUP_FILES) {
            bool allGone = false;
            OpenGroupKey(group, &allGone);
            m_bAllGone = allGone;
            m_bKeyLooked = true;
        }
        for (; m_entry < group.entries.size(); ++m_entry) {
            const auto& entry = group.entries[m_entry];
            if (m_bAllGone || IsEntryGone(group, entry.second))
                ++m_goneCounts[entry.first];
            if (++looked % kEntriesBetweenClockLooks == 0 && budget.IsSpent()) {
                ++m_entry;
                return false;
            }
        }
        CloseKey();
        ++m_group;
        m_entry = 0;
        // Opening a key costs what looking at an entry does.
        if (++looked % kEntriesBetweenClockLooks == 0 && budget.IsSpent())
            return m_group >= m_groups.size();
    }
    return true;
}

std::map<CString, int> CRepairOutcome::CountGone(const std::map<CString, std::vector<CString>>& entriesByCategory)
{
    Begin(entriesByCategory);
    LookSome(CTimeBudget::Unlimited());
    return m_gone;
}
