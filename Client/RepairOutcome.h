// What a repair really removed. The engine reports the junk it removed, but not which found
// entries it deleted; so once the repair's job has ended, the program asks the registry and the
// file system whether each entry it asked for is gone. Only an entry that is surely gone counts
// as cleaned: one that still exists, or that cannot be looked at, does not.
#pragma once

#include <map>
#include <vector>

#include "Afx.h"

class CRepairOutcome
{
public:
    CRepairOutcome() = default;
    ~CRepairOutcome();
    CRepairOutcome(const CRepairOutcome&) = delete;
    CRepairOutcome& operator=(const CRepairOutcome&) = delete;

    // TRUE when the found item (a registry key, a registry value "key\xACname", or for the
    // program shortcuts a file) no longer exists.
    BOOL IsGone(const CString& item, DWORD category);
    // The entries of each category that are gone, by category name; categories are named as the
    // results tree names them.
    std::map<CString, int> CountGone(const std::map<CString, std::vector<CString>>& entriesByCategory);

private:
    BOOL IsKeyGone(HKEY root, const CString& subKey);
    BOOL IsValueGone(HKEY root, const CString& subKey, const CString& valueName);
    BOOL IsFileGone(const CString& path);
    void CloseCachedKey();

    // The last key opened for a value: the values of one key are asked for one after another.
    HKEY m_cachedRoot = nullptr;
    CString m_cachedSubKey;
    HKEY m_cachedKey = nullptr;
};
