// CRegistryWalk: a depth-first walk over every key below a start key, without recursion.
// Each key is handed to a visitor together with its open parent; the walk opens keys only to
// enumerate their subkeys. Link keys are not followed (a control set reached through a link
// would otherwise be walked, and reported, twice), and keys nested deeper than kMaxDepth below
// the start key are visited but not descended into.
#pragma once

#include <windows.h>
#include <functional>

#include "AfxString.h"

class CRegistryWalk
{
public:
    static const int kMaxDepth = 100;

    // Called for every key below the start key: its parent (open for enumeration), its name and
    // its full path ("HKEY_USERS\S-1-5-21\Software").
    using Visitor = std::function<void(HKEY parent, const CString& name, const CString& path)>;
    // As Visitor, with the key itself already open for reading its values and information
    // (KEY_QUERY_VALUE, link keys not followed), or null when it could not be opened so.
    using OpenedVisitor =
        std::function<void(HKEY parent, const CString& name, const CString& path, HKEY key)>;
    // Whether to visit and descend into a subkey; all of them when empty.
    using SubkeyFilter = std::function<bool(const CString& name)>;
    // Tested before every key; the walk ends when it gives false.
    using KeepGoing = std::function<bool()>;

    explicit CRegistryWalk(KeepGoing keepGoing) : m_keepGoing(std::move(keepGoing)) {}

    // Walks below rootName\startPath (startPath may be empty for the whole root). The root name
    // is one of the full names ("HKEY_LOCAL_MACHINE"); an unknown one or a start key that
    // cannot be opened gives an empty walk.
    void Walk(const CString& rootName, const CString& startPath, const Visitor& visit,
              const SubkeyFilter& filter = SubkeyFilter());
    // The same walk, opening each key once for both the descent and the visitor.
    void WalkOpened(const CString& rootName, const CString& startPath, const OpenedVisitor& visit,
                    const SubkeyFilter& filter = SubkeyFilter());

    // Keys seen by the last walk, and subkeys left out because they lay too deep.
    unsigned VisitedKeys() const { return m_visited; }
    unsigned SkippedTooDeep() const { return m_skippedTooDeep; }

    // Opens a subkey itself rather than the key a link points to.
    static LONG OpenWithoutLinks(HKEY parent, const char* name, REGSAM access, HKEY* key);

private:
    KeepGoing m_keepGoing;
    unsigned m_visited = 0;
    unsigned m_skippedTooDeep = 0;
};
