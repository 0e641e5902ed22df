#include "StartupRunValues.h"

#include <algorithm>
#include <iterator>

const wchar_t CStartupRunValues::kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t CStartupRunValues::kStoreKey[] = L"Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";

namespace {

// Our own values beside the system configuration tool's.
const wchar_t kNameValue[] = L"name";
const wchar_t kTypeValue[] = L"type";
const wchar_t kBytesValue[] = L"value";
// Where records written before the groups of lists existed keep the value's bytes.
const wchar_t kEarlierBytesValue[] = L"data";
const wchar_t kIndexValue[] = L"index";
const wchar_t kGroupValue[] = L"group";
// Room for " (n)" within the 255 characters of a key name.
const size_t kLongestStoreName = 200;

HKEY RootOf(int localMachine)
{
    return localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool HasText(const std::vector<std::wstring>& strings)
{
    for (const std::wstring& text : strings) {
        if (!text.empty())
            return true;
    }
    return false;
}

// The strings of a list without those at `indices`.
std::vector<std::wstring> Without(const std::vector<std::wstring>& strings, const std::set<int>& indices)
{
    std::vector<std::wstring> rest;
    for (size_t i = 0; i < strings.size(); ++i) {
        if (!indices.count(static_cast<int>(i)))
            rest.push_back(strings[i]);
    }
    return rest;
}

bool SameValue(const REG_VALUE_DATA& a, DWORD type, const std::vector<BYTE>& data)
{
    return a.type == type && a.data == data;
}

std::wstring Numbered(const std::wstring& base, int number)
{
    return base + L" (" + std::to_wstring(number) + L")";
}

} // namespace

bool CStartupRunValues::VALUE_KEY::operator<(const VALUE_KEY& other) const
{
    return localMachine != other.localMachine ? localMachine < other.localMachine : upperName < other.upperName;
}

bool CStartupRunValues::IsRunType(DWORD type)
{
    switch (type) {
    case REG_NONE:
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_BINARY:
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_MULTI_SZ:
    case REG_QWORD:
        return true;
    default:
        return false;
    }
}

std::wstring CStartupRunValues::TextOf(const REG_VALUE_DATA& value)
{
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)
        return RegValueText(value.data);
    const auto end = std::find(value.data.begin(), value.data.end(), 0);
    return WideText(CString(std::string(value.data.begin(), end)));
}

// ---- The store -------------------------------------------------------------------------------------

void CStartupRunValues::Load()
{
    m_records.clear();
    m_byStoreKey.clear();
    m_byValue.clear();
    m_takenNames.clear();
    m_nextNumber.clear();
    m_nextRunNumber.clear();
    CRegKey64 store;
    if (!store.Open(HKEY_LOCAL_MACHINE, kStoreKey, KEY_READ))
        return;
    for (const std::wstring& subkey : RegSubkeyNames(store)) {
        m_takenNames.insert(UpperText(subkey));
        CRegKey64 entry;
        if (!entry.Open(store, subkey.c_str(), KEY_READ))
            continue;
        RUN_RECORD record;
        record.storeKey = subkey;
        REG_VALUE_DATA name;
        // An empty name is the default value's: only a missing one falls back to the subkey.
        record.valueName = ReadRegValue(entry, kNameValue, &name) ? RegValueText(name.data) : subkey;
        record.command = ReadRegText(entry, L"command");
        record.localMachine = ReadRegText(entry, L"hkey") == L"HKLM";
        REG_VALUE_DATA bytes;
        record.holdsValue = ReadRegValue(entry, kBytesValue, &bytes) || ReadRegValue(entry, kEarlierBytesValue, &bytes);
        record.value = bytes.data;
        record.exact = ReadRegDword(entry, kTypeValue, &record.type) && (record.type == REG_MULTI_SZ || record.holdsValue);
        DWORD index = 0;
        if (record.exact && record.type == REG_MULTI_SZ && ReadRegDword(entry, kIndexValue, &index) &&
            ReadRegDword(entry, kGroupValue, &record.group) && index < kMaxRegValueBytes)
            record.index = static_cast<int>(index);
        if (!record.exact)
            record.type = REG_SZ;
        AddRecord(record);
    }
}

void CStartupRunValues::AddRecord(const RUN_RECORD& record)
{
    m_byStoreKey[UpperText(record.storeKey)] = m_records.size();
    if (record.index >= 0)
        m_byValue[VALUE_KEY{ record.localMachine, UpperText(record.valueName) }].push_back(m_records.size());
    m_records.push_back(record);
}

// The value's records by their group, each group with the list that one of them holds.
std::vector<CStartupRunValues::RUN_GROUP> CStartupRunValues::GroupsOf(int localMachine, const std::wstring& valueName) const
{
    std::vector<RUN_GROUP> groups;
    const auto found = m_byValue.find(VALUE_KEY{ localMachine, UpperText(valueName) });
    if (found == m_byValue.end())
        return groups;
    // The holders first, each with the list of its group.
    for (size_t index : found->second) {
        const RUN_RECORD& record = m_records[index];
        const bool known = std::any_of(groups.begin(), groups.end(), [&](const RUN_GROUP& g) { return g.id == record.group; });
        if (!record.holdsValue || known)
            continue;
        RUN_GROUP group;
        group.id = record.group;
        group.holder = index;
        group.strings = SplitMultiString(record.value);
        groups.push_back(group);
    }
    // Then their members: one record for each string of the list. A record whose group lost its
    // list, or whose string is another's, comes back alone.
    for (RUN_GROUP& group : groups) {
        std::vector<size_t> members = { group.holder };
        for (size_t index : found->second) {
            if (index != group.holder && m_records[index].group == group.id)
                members.push_back(index);
        }
        for (size_t index : members) {
            const int at = m_records[index].index;
            if (at < static_cast<int>(group.strings.size()) && group.indices.insert(at).second)
                group.records.push_back(index);
        }
    }
    groups.erase(std::remove_if(groups.begin(), groups.end(), [](const RUN_GROUP& g) { return g.records.empty(); }),
                 groups.end());
    return groups;
}

const CStartupRunValues::RUN_GROUP* CStartupRunValues::GroupOf(const std::vector<RUN_GROUP>& groups, size_t record) const
{
    for (const RUN_GROUP& group : groups) {
        if (std::find(group.records.begin(), group.records.end(), record) != group.records.end())
            return &group;
    }
    return nullptr;
}

// Before the records `leaving` go, the list's bytes (or `list`, when it changes) are kept by a
// record of the group that stays, so that the others can still come back in their places.
BOOL CStartupRunValues::HoldList(HKEY store, const RUN_GROUP& group, const std::set<size_t>& leaving,
                                 const std::vector<BYTE>* list) const
{
    size_t holder = group.holder;
    if (leaving.count(holder)) {
        const auto stays = std::find_if(group.records.begin(), group.records.end(), [&](size_t r) { return !leaving.count(r); });
        if (stays == group.records.end())
            return TRUE;
        holder = *stays;
    } else if (!list) {
        return TRUE;
    }
    CRegKey64 entry;
    return entry.Open(store, m_records[holder].storeKey.c_str(), KEY_SET_VALUE) &&
           WriteRegBytes(entry, kBytesValue, REG_BINARY, list ? *list : m_records[group.holder].value);
}

// A subkey name for a new record: the value's name where that is free and a plain key name, else
// a free variant of it, so that entries of one name in both roots or in one list never share one.
std::wstring CStartupRunValues::TakeStoreName(const std::wstring& valueName)
{
    std::wstring base = valueName.substr(0, kLongestStoreName);
    std::replace(base.begin(), base.end(), L'\\', L'^');
    if (base.empty())
        base = L"(Default)";
    std::wstring name = base;
    if (m_takenNames.count(UpperText(name))) {
        int& number = m_nextNumber.emplace(UpperText(base), 2).first->second;
        do
            name = Numbered(base, number++);
        while (m_takenNames.count(UpperText(name)));
    }
    m_takenNames.insert(UpperText(name));
    return name;
}

// A record of ours for a listed entry, under a free subkey name.
RUN_RECORD CStartupRunValues::NewRecord(const StartupRegItem& entry, DWORD type)
{
    RUN_RECORD record;
    record.storeKey = TakeStoreName(entry.valueName);
    record.valueName = entry.valueName;
    record.command = entry.text;
    record.localMachine = entry.localMachine;
    record.exact = true;
    record.type = type;
    return record;
}

BOOL CStartupRunValues::WriteRecord(HKEY store, const RUN_RECORD& record)
{
    CRegKey64 entry;
    if (!entry.Create(store, record.storeKey.c_str()))
        return FALSE;
    std::wstring program = ProgramName(record.command);
    if (program.empty())
        program = record.valueName;
    BOOL written = WriteRegText(entry, L"item", program) && WriteRegText(entry, L"command", record.command) &&
                   WriteRegText(entry, L"key", kRunKey) &&
                   WriteRegText(entry, L"hkey", record.localMachine ? L"HKLM" : L"HKCU") &&
                   WriteRegText(entry, L"inimapping", L"0") && WriteRegText(entry, kNameValue, record.valueName) &&
                   WriteRegDword(entry, kTypeValue, record.type);
    if (written && record.holdsValue)
        written = WriteRegBytes(entry, kBytesValue, REG_BINARY, record.value);
    if (written && record.index >= 0)
        written = WriteRegDword(entry, kIndexValue, static_cast<DWORD>(record.index)) &&
                  WriteRegDword(entry, kGroupValue, record.group);
    return written;
}

STARTUP_RESULT CStartupRunValues::CommitRecords(HKEY run, const std::wstring& valueName, const std::vector<RUN_RECORD>& records,
                                                const std::vector<std::wstring>& remaining)
{
    CRegKey64 store;
    if (!store.Create(HKEY_LOCAL_MACHINE, kStoreKey))
        return STARTUP_REGISTRY_FAILED;
    size_t tried = 0;
    bool written = true;
    while (written && tried < records.size())
        written = WriteRecord(store, records[tried++]) != FALSE;
    // Only fully recorded entries leave the Run key.
    if (written) {
        written = HasText(remaining) ? WriteRegBytes(run, valueName.c_str(), REG_MULTI_SZ, JoinMultiString(remaining)) != FALSE
                                     : ::RegDeleteValueW(run, valueName.c_str()) == ERROR_SUCCESS;
    }
    if (!written) {
        for (size_t i = 0; i < tried; ++i)
            DeleteRegSubkey64(store, records[i].storeKey.c_str());
        return STARTUP_REGISTRY_FAILED;
    }
    for (const RUN_RECORD& record : records)
        AddRecord(record);
    return STARTUP_DONE;
}

void CStartupRunValues::Disable(const std::vector<const StartupRegItem*>& entries, std::vector<STARTUP_RESULT>* results)
{
    results->assign(entries.size(), STARTUP_CHANGED);
    if (entries.empty())
        return;
    const StartupRegItem& first = *entries[0];
    CRegKey64 run;
    if (!run.Open(RootOf(first.localMachine), kRunKey, KEY_ALL_ACCESS)) {
        if (run.Open(RootOf(first.localMachine), kRunKey, KEY_READ))
            results->assign(entries.size(), STARTUP_REGISTRY_FAILED);
        return;
    }
    REG_VALUE_DATA value;
    if (!ReadRegValue(run, first.valueName.c_str(), &value))
        return;
    if (!IsRunType(value.type))
        results->assign(entries.size(), STARTUP_UNKNOWN_TYPE);
    else if (value.type != REG_MULTI_SZ)
        DisableWhole(run, first, value, &(*results)[0]);
    else
        DisableStrings(run, entries, value, results);
}

void CStartupRunValues::DisableWhole(HKEY run, const StartupRegItem& entry, const REG_VALUE_DATA& value, STARTUP_RESULT* result)
{
    if (TextOf(value) != entry.text)
        return;  // the value changed since it was listed
    RUN_RECORD record = NewRecord(entry, value.type);
    record.value = value.data;
    record.holdsValue = true;
    *result = CommitRecords(run, entry.valueName, { record }, {});
}

// The strings leave the list together, with one write of it.
void CStartupRunValues::DisableStrings(HKEY run, const std::vector<const StartupRegItem*>& entries,
                                       const REG_VALUE_DATA& value, std::vector<STARTUP_RESULT>* results)
{
    const StartupRegItem& first = *entries[0];
    const std::vector<std::wstring> strings = SplitMultiString(value.data);
    // A group of the list whose strings left it earlier and that left it as it is now: the new
    // records join it, each with its string's index in the list as it was. Else a new group.
    const std::vector<RUN_GROUP> groups = GroupsOf(first.localMachine, first.valueName);
    const auto joined = std::find_if(groups.begin(), groups.end(),
                                     [&](const RUN_GROUP& g) { return Without(g.strings, g.indices) == strings; });
    DWORD groupId = 1;
    const auto earlier = m_byValue.find(VALUE_KEY{ first.localMachine, UpperText(first.valueName) });
    for (size_t record : earlier == m_byValue.end() ? std::vector<size_t>() : earlier->second)
        groupId = std::max(groupId, m_records[record].group + 1);
    std::vector<int> originalIndex;
    for (size_t i = 0; i < (joined == groups.end() ? strings.size() : joined->strings.size()); ++i) {
        if (joined == groups.end() || !joined->indices.count(static_cast<int>(i)))
            originalIndex.push_back(static_cast<int>(i));
    }

    std::set<int> taken;
    std::vector<RUN_RECORD> records;
    std::vector<size_t> recorded;
    for (size_t e = 0; e < entries.size(); ++e) {
        const StartupRegItem& entry = *entries[e];
        int at = entry.stringIndex;
        if (at < 0 || at >= static_cast<int>(strings.size()) || taken.count(at) || strings[static_cast<size_t>(at)] != entry.text) {
            at = -1;
            for (size_t i = 0; i < strings.size() && at < 0; ++i) {
                if (!taken.count(static_cast<int>(i)) && strings[i] == entry.text)
                    at = static_cast<int>(i);
            }
        }
        if (at < 0)
            continue;  // no longer in the list
        taken.insert(at);
        RUN_RECORD record = NewRecord(entry, REG_MULTI_SZ);
        record.index = originalIndex[static_cast<size_t>(at)];
        record.group = joined == groups.end() ? groupId : joined->id;
        record.holdsValue = joined == groups.end() && records.empty();
        if (record.holdsValue)
            record.value = value.data;
        records.push_back(record);
        recorded.push_back(e);
    }
    if (records.empty())
        return;
    const STARTUP_RESULT result = CommitRecords(run, first.valueName, records, Without(strings, taken));
    for (size_t e : recorded)
        (*results)[e] = result;
}

// ---- Enabling --------------------------------------------------------------------------------------

void CStartupRunValues::Enable(const std::vector<std::wstring>& storeKeys, std::vector<STARTUP_RESULT>* results)
{
    results->assign(storeKeys.size(), STARTUP_CHANGED);
    // Strings of lists by their value, so that each value is written once.
    std::map<VALUE_KEY, std::vector<std::pair<size_t, size_t>>> strings;  // value -> (record, result)
    for (size_t i = 0; i < storeKeys.size(); ++i) {
        const auto found = m_byStoreKey.find(UpperText(storeKeys[i]));
        if (found == m_byStoreKey.end())
            continue;  // gone from the store
        const RUN_RECORD& record = m_records[found->second];
        if (record.index >= 0)
            strings[VALUE_KEY{ record.localMachine, UpperText(record.valueName) }].push_back({ found->second, i });
        else
            (*results)[i] = EnableAlone(record);
    }
    for (const auto& value : strings) {
        const RUN_RECORD& any = m_records[value.second[0].first];
        const std::vector<RUN_GROUP> groups = GroupsOf(any.localMachine, any.valueName);
        std::map<const RUN_GROUP*, std::vector<std::pair<size_t, size_t>>> chosen;
        for (const auto& entry : value.second) {
            if (const RUN_GROUP* group = GroupOf(groups, entry.first))
                chosen[group].push_back(entry);
            else
                (*results)[entry.second] = EnableAlone(m_records[entry.first]);
        }
        for (const auto& group : chosen) {
            std::vector<size_t> records;
            for (const auto& entry : group.second)
                records.push_back(entry.first);
            const STARTUP_RESULT result = EnableGroup(*group.first, records);
            for (const auto& entry : group.second)
                (*results)[entry.second] = result;
        }
    }
}

// When the value is as the group's records left it, it comes back with their strings in their
// places (byte for byte once all are back); a value that has changed meanwhile is not written over:
// the strings come back as a value of their own beside it.
STARTUP_RESULT CStartupRunValues::EnableGroup(const RUN_GROUP& group, const std::vector<size_t>& chosen)
{
    const RUN_RECORD& first = m_records[group.holder];
    CRegKey64 store;
    CRegKey64 run;
    if (!store.Open(HKEY_LOCAL_MACHINE, kStoreKey, KEY_ALL_ACCESS) || !run.Create(RootOf(first.localMachine), kRunKey))
        return STARTUP_REGISTRY_FAILED;
    const std::set<size_t> leaving(chosen.begin(), chosen.end());
    if (!HoldList(store, group, leaving, nullptr))
        return STARTUP_REGISTRY_FAILED;
    REG_VALUE_DATA current;
    const bool present = ReadRegValue(run, first.valueName.c_str(), &current) != FALSE;
    const std::vector<std::wstring> expected = Without(group.strings, group.indices);
    const bool asLeft = present ? current.type == REG_MULTI_SZ && SplitMultiString(current.data) == expected : !HasText(expected);
    std::set<int> back;
    for (size_t record : chosen)
        back.insert(m_records[record].index);
    BOOL written = FALSE;
    if (asLeft) {
        std::set<int> stay;
        std::set_difference(group.indices.begin(), group.indices.end(), back.begin(), back.end(),
                            std::inserter(stay, stay.end()));
        const std::vector<BYTE> data = stay.empty() ? first.value : JoinMultiString(Without(group.strings, stay));
        written = WriteRegBytes(run, first.valueName.c_str(), REG_MULTI_SZ, data);
    } else {
        std::vector<std::wstring> own;
        for (int index : back)
            own.push_back(group.strings[static_cast<size_t>(index)]);
        const std::vector<BYTE> data = JoinMultiString(own);
        written = present && SameValue(current, REG_MULTI_SZ, data)
                      ? TRUE
                      : WriteRegBytes(run, present ? FreeRunName(run, first.localMachine, first.valueName).c_str()
                                                   : first.valueName.c_str(),
                                      REG_MULTI_SZ, data);
    }
    if (!written)
        return STARTUP_REGISTRY_FAILED;
    bool deleted = true;
    for (size_t record : chosen)
        deleted = DeleteRegSubkey64(store, m_records[record].storeKey.c_str()) && deleted;
    return deleted ? STARTUP_DONE : STARTUP_REGISTRY_FAILED;
}

// A record on its own: our exact value where its type is one a Run value may have, else the
// command as plain text. A value of that name that holds something else stays as it is.
STARTUP_RESULT CStartupRunValues::EnableAlone(const RUN_RECORD& record)
{
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    if (record.exact && record.type == REG_MULTI_SZ) {
        type = REG_MULTI_SZ;
        data = JoinMultiString({ record.command });
    } else if (record.exact && IsRunType(record.type)) {
        type = record.type;
        data = record.value;
    } else {
        const BYTE* text = reinterpret_cast<const BYTE*>(record.command.c_str());
        data.assign(text, text + (record.command.size() + 1) * sizeof(wchar_t));
    }
    CRegKey64 run;
    if (!run.Create(RootOf(record.localMachine), kRunKey))
        return STARTUP_REGISTRY_FAILED;
    REG_VALUE_DATA current;
    const bool present = ReadRegValue(run, record.valueName.c_str(), &current) != FALSE;
    const BOOL written =
        present && SameValue(current, type, data)
            ? TRUE
            : WriteRegBytes(run, present ? FreeRunName(run, record.localMachine, record.valueName).c_str() : record.valueName.c_str(),
                            type, data);
    if (!written)
        return STARTUP_REGISTRY_FAILED;
    CRegKey64 store;
    return store.Open(HKEY_LOCAL_MACHINE, kStoreKey, KEY_ALL_ACCESS) && DeleteRegSubkey64(store, record.storeKey.c_str())
               ? STARTUP_DONE
               : STARTUP_REGISTRY_FAILED;
}

// "Tool (2)", "Tool (3)", ...: the first name no value of the key has.
std::wstring CStartupRunValues::FreeRunName(HKEY run, int localMachine, const std::wstring& valueName)
{
    const std::wstring base = valueName.empty() ? std::wstring(L"(Default)") : valueName;
    int& number = m_nextRunNumber.emplace(std::to_wstring(localMachine) + L"|" + UpperText(base), 2).first->second;
    for (;; ++number) {
        const std::wstring name = Numbered(base, number);
        if (::RegQueryValueExW(run, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND) {
            ++number;
            return name;
        }
    }
}

// ---- Removing --------------------------------------------------------------------------------------

STARTUP_RESULT CStartupRunValues::Remove(const StartupRegItem& item)
{
    if (item.disabled)
        return RemoveRecord(item.storeKey);
    CRegKey64 run;
    REG_VALUE_DATA value;
    if (!run.Open(RootOf(item.localMachine), kRunKey, KEY_ALL_ACCESS) || !ReadRegValue(run, item.valueName.c_str(), &value))
        return STARTUP_CHANGED;
    if (value.type != REG_MULTI_SZ) {
        if (TextOf(value) != item.text)
            return STARTUP_CHANGED;
        return ::RegDeleteValueW(run, item.valueName.c_str()) == ERROR_SUCCESS ? STARTUP_DONE : STARTUP_REGISTRY_FAILED;
    }
    // One string of a list goes; the others stay.
    std::vector<std::wstring> strings = SplitMultiString(value.data);
    int at = item.stringIndex;
    if (at < 0 || at >= static_cast<int>(strings.size()) || strings[static_cast<size_t>(at)] != item.text) {
        const auto found = std::find(strings.begin(), strings.end(), item.text);
        at = found == strings.end() ? -1 : static_cast<int>(found - strings.begin());
    }
    if (at < 0)
        return STARTUP_CHANGED;
    // Strings disabled from the list as it is keep their places in it without this one.
    const std::vector<RUN_GROUP> groups = GroupsOf(item.localMachine, item.valueName);
    const auto group = std::find_if(groups.begin(), groups.end(),
                                    [&](const RUN_GROUP& g) { return Without(g.strings, g.indices) == strings; });
    if (group != groups.end()) {
        int original = -1;
        for (int i = 0, enabled = -1; enabled < at; ++i) {
            if (!group->indices.count(i) && ++enabled == at)
                original = i;
        }
        CRegKey64 store;
        if (!store.Open(HKEY_LOCAL_MACHINE, kStoreKey, KEY_ALL_ACCESS) || !ForgetString(store, *group, original, {}))
            return STARTUP_REGISTRY_FAILED;
    }
    strings.erase(strings.begin() + at);
    const BOOL done = HasText(strings) ? WriteRegBytes(run, item.valueName.c_str(), REG_MULTI_SZ, JoinMultiString(strings))
                                       : ::RegDeleteValueW(run, item.valueName.c_str()) == ERROR_SUCCESS;
    return done ? STARTUP_DONE : STARTUP_REGISTRY_FAILED;
}

// A string removed while disabled leaves its list for good.
STARTUP_RESULT CStartupRunValues::RemoveRecord(const std::wstring& storeKey)
{
    CRegKey64 store;
    const auto found = m_byStoreKey.find(UpperText(storeKey));
    if (storeKey.empty() || found == m_byStoreKey.end() || !store.Open(HKEY_LOCAL_MACHINE, kStoreKey, KEY_ALL_ACCESS))
        return STARTUP_CHANGED;
    const RUN_RECORD& record = m_records[found->second];
    const std::vector<RUN_GROUP> groups = GroupsOf(record.localMachine, record.valueName);
    const RUN_GROUP* group = record.index >= 0 ? GroupOf(groups, found->second) : nullptr;
    if (group && !ForgetString(store, *group, record.index, { found->second }))
        return STARTUP_REGISTRY_FAILED;
    return DeleteRegSubkey64(store, storeKey.c_str()) ? STARTUP_DONE : STARTUP_REGISTRY_FAILED;
}

// The string at `index` of a group's list leaves it for good: the list is kept without it, and the
// records after it move up one place, so that the others still come back in their places.
BOOL CStartupRunValues::ForgetString(HKEY store, const RUN_GROUP& group, int index, const std::set<size_t>& leaving) const
{
    const std::vector<BYTE> rest = JoinMultiString(Without(group.strings, { index }));
    if (!HoldList(store, group, leaving, &rest))
        return FALSE;
    for (size_t other : group.records) {
        CRegKey64 entry;
        const int at = m_records[other].index;
        if (!leaving.count(other) && at > index &&
            !(entry.Open(store, m_records[other].storeKey.c_str(), KEY_SET_VALUE) &&
              WriteRegDword(entry, kIndexValue, static_cast<DWORD>(at - 1))))
            return FALSE;
    }
    return TRUE;
}

// ---- The program's name ------------------------------------------------------------------------------

std::wstring CStartupRunValues::ProgramName(const std::wstring& command)
{
    const wchar_t* const space = L" \t\r\n";
    const size_t begin = command.find_first_not_of(space);
    if (begin == std::wstring::npos)
        return std::wstring();
    const std::wstring trimmed = command.substr(begin, command.find_last_not_of(space) - begin + 1);
    std::wstring lower = trimmed;
    for (wchar_t& ch : lower)
        ch = ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
    const size_t exe = lower.find(L".exe");
    if (exe == std::wstring::npos)
        return std::wstring();
    const size_t slash = lower.substr(0, exe + 4).rfind(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    const std::wstring tail = trimmed.substr(slash + 1);
    size_t end = tail.find(L".exe");
    if (end == std::wstring::npos)
        end = tail.find(L".EXE");
    return end == std::wstring::npos ? tail : tail.substr(0, end);
}
