#include "RegistrySubkeyNames.h"

#include <algorithm>

namespace {

// Registry key names are at most 255 characters.
const DWORD kNameBufferLength = 256;
// What the careful reading may spend on a key that keeps changing: per name, for the reading,
// the check below each name and the steps back after deletions, plus a few for a small key.
const long long kReadsPerName = 8;
const long long kSpareReads = 64;

CRegistrySubkeyNames::Ending EndingOf(LONG result)
{
    if (result == ERROR_NO_MORE_ITEMS)
        return CRegistrySubkeyNames::WHOLE;
    return result == ERROR_KEY_DELETED ? CRegistrySubkeyNames::KEY_GONE : CRegistrySubkeyNames::CUT_SHORT;
}

} // namespace

bool CRegistrySubkeyNames::Stamp::operator==(const Stamp& other) const
{
    return subkeys == other.subkeys && ::CompareFileTime(&written, &other.written) == 0;
}

LONG CRegistrySubkeyNames::ReadStamp(Stamp* stamp) const
{
    return ::RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, &stamp->subkeys, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, &stamp->written);
}

LONG CRegistrySubkeyNames::NameAt(DWORD index, std::wstring* name)
{
    wchar_t buffer[kNameBufferLength];
    DWORD length = kNameBufferLength;
    const LONG result = ::RegEnumKeyExW(m_key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS)
        name->assign(buffer, std::min(length, kNameBufferLength));
    return result;
}

CRegistrySubkeyNames::Ending CRegistrySubkeyNames::Read(std::vector<std::wstring>* names)
{
    names->clear();
    // Most keys have no subkeys: one call tells, as it would for a plain enumeration.
    if (!m_queried || m_before.subkeys == 0) {
        std::wstring first;
        const LONG result = NameAt(0, &first);
        if (result != ERROR_SUCCESS)
            return EndingOf(result);
        // A subkey came after the caller found none: the key is changing.
        if (m_queried)
            return ReadCarefully(1, names);
        const LONG queried = ReadStamp(&m_before);
        if (queried != ERROR_SUCCESS)
            return EndingOf(queried);
    }
    const LONG result = ReadByIndex(m_before.subkeys, names);
    if (result != ERROR_NO_MORE_ITEMS && result != ERROR_MORE_DATA)
        return EndingOf(result);
    // Nothing was created or deleted while the names were read: they are the key's.
    Stamp after;
    if (result == ERROR_NO_MORE_ITEMS && ReadStamp(&after) == ERROR_SUCCESS && after == m_before)
        return WHOLE;
    return ReadCarefully(m_before.subkeys, names);
}

LONG CRegistrySubkeyNames::ReadByIndex(DWORD count, std::vector<std::wstring>* names)
{
    names->reserve(count);
    std::wstring name;
    for (DWORD index = 0; index <= count; ++index) {
        const LONG result = NameAt(index, &name);
        if (result != ERROR_SUCCESS)
            return result;
        names->push_back(name);
    }
    return ERROR_MORE_DATA;
}

// Subkeys keep their order among themselves when others are deleted. A name read at an index is
// taken only when the name taken before it is found, after the reading, still at the index just
// below: nothing below moved in between, so no subkey lies between the two. When the name below
// is another, subkeys below were deleted (or created): the reading steps back to a name it has
// already taken and goes on after it, skipping the names it has.
CRegistrySubkeyNames::Ending CRegistrySubkeyNames::ReadCarefully(size_t expected, std::vector<std::wstring>* names)
{
    names->clear();
    std::set<std::wstring> taken;
    size_t budget = static_cast<size_t>(kReadsPerName * (static_cast<long long>(expected) + kSpareReads));
    DWORD index = 0;
    std::wstring previous, name, below;
    while (budget >= 2) {
        budget -= 2;
        const LONG result = NameAt(index, &name);
        if (result != ERROR_SUCCESS && result != ERROR_NO_MORE_ITEMS)
            return EndingOf(result);
        const LONG check = index == 0 ? ERROR_SUCCESS : NameAt(index - 1, &below);
        if (index == 0 || (check == ERROR_SUCCESS && below == previous)) {
            if (result == ERROR_NO_MORE_ITEMS)
                return WHOLE;
            if (taken.insert(name).second)
                names->push_back(name);
            previous = name;
            ++index;
            continue;
        }
        if (check != ERROR_SUCCESS && check != ERROR_NO_MORE_ITEMS)
            return EndingOf(check);
        const LONG stepped = StepBack(taken, &index, &previous, &budget);
        if (stepped != ERROR_SUCCESS)
            return EndingOf(stepped);
    }
    // The key changed faster than it could be read.
    return CUT_SHORT;
}

LONG CRegistrySubkeyNames::StepBack(const std::set<std::wstring>& taken, DWORD* index, std::wstring* previous,
                                    size_t* budget)
{
    // Where the list ends now bounds the search: after many deletions most indexes are empty.
    Stamp now;
    const LONG queried = ReadStamp(&now);
    if (queried != ERROR_SUCCESS)
        return queried;
    std::wstring name;
    for (DWORD at = std::min(*index, now.subkeys); at > 0 && *budget > 0;) {
        --at;
        --*budget;
        const LONG result = NameAt(at, &name);
        if (result == ERROR_SUCCESS && taken.count(name)) {
            *previous = name;
            *index = at + 1;
            return ERROR_SUCCESS;
        }
        if (result != ERROR_SUCCESS && result != ERROR_NO_MORE_ITEMS)
            return result;
    }
    // None of the names taken stands any more (or the budget is spent): from the first again.
    previous->clear();
    *index = 0;
    return ERROR_SUCCESS;
}
