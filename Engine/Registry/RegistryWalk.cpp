#include "RegistryWalk.h"

#include <vector>

#include "RegistryEnum.h"
#include "RegistryKey.h"
#include "RegistryPath.h"

namespace {

// One level of the walk: an open key, where its subkey enumeration stands, and how long the
// path was when the walk entered it.
struct WalkLevel {
    CRegistryKey key;
    CRegistrySubkeyEnum subkeys;
    int pathLength;

    WalkLevel(HKEY opened, int length) : key(opened), subkeys(opened), pathLength(length) {}
};

} // namespace

LONG CRegistryWalk::OpenWithoutLinks(HKEY parent, const char* name, REGSAM access, HKEY* key)
{
    *key = nullptr;
    return ::RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, access, key);
}

void CRegistryWalk::Walk(const CString& rootName, const CString& startPath, const Visitor& visit,
                         const SubkeyFilter& filter)
{
    WalkOpened(rootName, startPath,
               [&visit](HKEY parent, const CString& name, const CString& path, HKEY) { visit(parent, name, path); },
               filter);
}

void CRegistryWalk::WalkOpened(const CString& rootName, const CString& startPath, const OpenedVisitor& visit,
                               const SubkeyFilter& filter)
{
    m_visited = 0;
    m_skippedTooDeep = 0;
    const HKEY root = RegistryRootFromName(rootName);
    if (!root)
        return;
    HKEY start = nullptr;
    if (::RegOpenKeyExA(root, startPath.IsEmpty() ? nullptr : startPath.GetString(), 0, KEY_ENUMERATE_SUB_KEYS,
                        &start) != ERROR_SUCCESS)
        return;

    CString path = startPath.IsEmpty() ? rootName : rootName + "\\" + startPath;
    // The start key plus at most kMaxDepth levels below it; reserved so levels never move.
    std::vector<WalkLevel> levels;
    levels.reserve(kMaxDepth + 1);
    levels.emplace_back(start, path.GetLength());

    CString name;
    while (!levels.empty()) {
        if (!m_keepGoing || !m_keepGoing())
            return;
        WalkLevel& current = levels.back();
        if (!current.subkeys.Next(&name)) {
            levels.pop_back();
            if (!levels.empty())
                path = path.Left(levels.back().pathLength);
            continue;
        }
        if (filter && !filter(name))
            continue;
        path = path.Left(current.pathLength) + "\\" + name;
        ++m_visited;

        // One open serves the visitor and the descent; a key that refuses reading its values is
        // still descended into when it lets its subkeys be listed.
        HKEY child = nullptr;
        bool readable = OpenWithoutLinks(current.key.Get(), name, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                                         &child) == ERROR_SUCCESS;
        if (!readable && OpenWithoutLinks(current.key.Get(), name, KEY_ENUMERATE_SUB_KEYS, &child) != ERROR_SUCCESS)
            child = nullptr;
        CRegistryKey opened(child);
        visit(current.key.Get(), name, path, readable ? child : nullptr);

        if (!opened.IsOpen())
            continue;
        if (static_cast<int>(levels.size()) > kMaxDepth) {
            ++m_skippedTooDeep;
            continue;
        }
        levels.emplace_back(opened.Detach(), path.GetLength());
    }
}
