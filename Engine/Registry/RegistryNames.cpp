#include "RegistryNames.h"

#include <algorithm>

namespace {

// Registry key names are at most 255 characters, value names 16,383.
const DWORD kKeyNameLength = 256;
const DWORD kValueNameLength = 16384;
// What the careful reading may spend on a key that keeps changing: per name, for the reading,
// the check below each name and the steps back after deletions, plus a few for a small key.
const long long kReadsPerName = 8;
const long long kSpareReads = 64;

CRegistryNames::Ending EndingOf(LONG result)
{
    if (result == ERROR_NO_MORE_ITEMS)
        return CRegistryNames::WHOLE;
    return result == ERROR_KEY_DELETED ? CRegistryNames::KEY_GONE : CRegistryNames::CUT_SHORT;
}

} // namespace

bool CRegistryNames::Stamp::operator==(const Stamp& other) const
{
    return count == other.count && ::CompareFileTime(&written, &other.written) == 0;
}

LONG CRegistryNames::ReadStamp(Stamp* stamp) const
{
    DWORD* subkeys = m_kind == SUBKEYS ? &stamp->count : nullptr;
    DWORD* values = m_kind == VALUES ? &stamp->count : nullptr;
    return ::RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values, nullptr, nullptr,
                              nullptr, &stamp->written);
}

LONG CRegistryNames::NameAt(DWORD index, std::wstring* name)
{
    if (m_kind == SUBKEYS) {
        wchar_t buffer[kKeyNameLength];
        DWORD length = kKeyNameLength;
        const LONG result = ::RegEnumKeyExW(m_key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_SUCCESS)
            name->assign(buffer, std::min(length, kKeyNameLength));
        return result;
    }
    m_valueName.resize(kValueNameLength);
    DWORD length = kValueNameLength;
    const LONG result = ::RegEnumValueW(m_key, index, m_valueName.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS)
        name->assign(m_valueName.data(), std::min(length, kValueNameLength));
    return result;
}

CRegistryNames::Ending CRegistryNames::Read(std::vector<std::wstring>* names)
{
    names->clear();
    // Most keys have no subkeys (or no values): one call tells, as it would for a plain
    // enumeration.
    if (!m_queried || m_before.count == 0) {
        std::wstring first;
        const LONG result = NameAt(0, &first);
        if (result != ERROR_SUCCESS)
            return EndingOf(result);
        // A name came after the caller found none: the key is changing.
        if (m_queried)
            return ReadCarefully(1, names);
        const LONG queried = ReadStamp(&m_before);
        if (queried != ERROR_SUCCESS)
            return EndingOf(queried);
    }
    const LONG result = ReadByIndex(m_before.count, names);
    if (result != ERROR_NO_MORE_ITEMS && result != ERROR_MORE_DATA)
        return EndingOf(result);
    // Nothing was created or deleted while the names were read: they are the key's.
    Stamp after;
    if (result == ERROR_NO_MORE_ITEMS && ReadStamp(&after) == ERROR_SUCCESS && after == m_before)
        return WHOLE;
    return ReadCarefully(m_before.count, names);
}

LONG CRegistryNames::ReadByIndex(DWORD count, std::vector<std::wstring>* names)
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

// Subkeys keep their order among themselves when others are deleted, and so do values. A name
// read at an index is taken only when the name taken before it is found, after the reading, still
// at the index just below: nothing below moved in between, so no name lies between the two. When
// the name below is another, names below were deleted (or created): the reading steps back to a
// name it has already taken and goes on after it, skipping the names it has.
CRegistryNames::Ending CRegistryNames::ReadCarefully(size_t expected, std::vector<std::wstring>* names)
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

LONG CRegistryNames::StepBack(const std::set<std::wstring>& taken, DWORD* index, std::wstring* previous,
                                    size_t* budget)
{
    // Where the list ends now bounds the search: after many deletions most indexes are empty.
    Stamp now;
    const LONG queried = ReadStamp(&now);
    if (queried != ERROR_SUCCESS)
        return queried;
    std::wstring name;
    for (DWORD at = std::min(*index, now.count); at > 0 && *budget > 0;) {
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
