#include "KeptEntries.h"

#include "VexaEngine.h"

bool CKeptEntries::HasKeptAbove(const std::string& identity) const
{
    if (m_identities.empty())
        return false;
    const size_t separator = identity.find(ITEM_VALUE_SEPARATOR);
    std::string key = identity.substr(0, separator);
    // A value's own key is above it; a key's first level above it is its parent.
    if (separator != std::string::npos && Contains(key))
        return true;
    for (size_t slash = key.rfind('\\'); slash != std::string::npos && slash > 0; slash = key.rfind('\\')) {
        key.resize(slash);
        if (Contains(key))
            return true;
    }
    return false;
}

bool CKeptEntries::HasKeptBelow(const std::string& identity) const
{
    // Only a key holds anything.
    if (m_identities.empty() || identity.empty() || identity.find(ITEM_VALUE_SEPARATOR) != std::string::npos)
        return false;
    return HasEntryStartingWith(identity + '\\') || HasEntryStartingWith(identity + ITEM_VALUE_SEPARATOR);
}

bool CKeptEntries::HasEntryStartingWith(const std::string& prefix) const
{
    // Every text that starts with the prefix sorts at or after it, before any text that doesn't.
    const auto first = m_identities.lower_bound(prefix);
    return first != m_identities.end() && first->compare(0, prefix.size(), prefix) == 0;
}
