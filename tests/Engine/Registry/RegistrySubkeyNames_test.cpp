// Reading a key's subkey names while other programs delete (or create) subkeys between any two
// enumeration calls: every subkey that stays is read, once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Registry/RegistryKey.h"
#include "Registry/RegistrySubkeyNames.h"
#include "RegistrySandbox.h"

namespace {

const wchar_t kParent[] = L"Names";
const int kSubkeys = 10;

// Before the enumeration call of the given number (counted from 1 over one Read), a subkey is
// deleted or created, the parent deleted, or that call and every later one fails.
struct Change {
    enum Kind { Delete, Create, DeleteParent, FailFromHere } kind;
    int beforeCall;
    const wchar_t* name;
};

std::wstring SubkeyName(int index)
{
    return L"k" + std::to_wstring(index);
}

class CScriptedNames : public CRegistrySubkeyNames
{
public:
    CScriptedNames(HKEY key, std::vector<Change> changes) : CRegistrySubkeyNames(key), m_key(key), m_changes(changes)
    {
    }
    std::vector<std::wstring> Deleted() const { return m_deleted; }
    // The changes made so far (a failing call counts its change once).
    size_t Applied() const { return m_applied.size(); }

protected:
    LONG NameAt(DWORD index, std::wstring* name) override
    {
        ++m_calls;
        for (const Change& change : m_changes)
            if (change.beforeCall == m_calls || (change.kind == Change::FailFromHere && m_calls >= change.beforeCall))
                if (!Apply(change))
                    return ERROR_INVALID_HANDLE;
        return CRegistrySubkeyNames::NameAt(index, name);
    }

private:
    // False for a call that is to fail.
    bool Apply(const Change& change)
    {
        m_applied.insert(&change);
        switch (change.kind) {
        case Change::Delete:
            ::RegDeleteKeyW(m_key, change.name);
            m_deleted.push_back(change.name);
            return true;
        case Change::Create: {
            HKEY created = nullptr;
            if (::RegCreateKeyExW(m_key, change.name, 0, nullptr, 0, KEY_READ, nullptr, &created, nullptr) ==
                ERROR_SUCCESS)
                ::RegCloseKey(created);
            return true;
        }
        case Change::DeleteParent:
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kParent);
            return true;
        case Change::FailFromHere:
            return false;
        }
        return true;
    }

    HKEY m_key;
    std::vector<Change> m_changes;
    std::vector<std::wstring> m_deleted;
    std::set<const Change*> m_applied;
    int m_calls = 0;
};

} // namespace

// Calls, for ten subkeys: 1 looks for a first subkey, 2-12 read indexes 0-10 (the end). A key
// "z" created before call 12 is read there, so the key has changed: the careful reading follows,
// over eleven subkeys. Call 13 reads index 0; from there each index i is read by call 12 + 2i
// and the one below it checked by call 13 + 2i.
TEST(RegistrySubkeyNames, ReadsEverySubkeyThatStaysWhateverIsDeletedBetweenTwoCalls)
{
    const Change careful = {Change::Create, 12, L"z"};
    const struct {
        const char* what;
        std::vector<Change> changes;
        CRegistrySubkeyNames::Ending ending;
    } rows[] = {
        {"nothing changes", {}, CRegistrySubkeyNames::WHOLE},
        {"a subkey already read is deleted during the first reading",
         {{Change::Delete, 6, L"k2"}},
         CRegistrySubkeyNames::WHOLE},
        {"a subkey already taken is deleted before the next is read",
         {careful, {Change::Delete, 20, L"k1"}},
         CRegistrySubkeyNames::WHOLE},
        {"the subkey taken last is deleted before the next is read",
         {careful, {Change::Delete, 20, L"k3"}},
         CRegistrySubkeyNames::WHOLE},
        {"a subkey is deleted between the reading of a name and its check",
         {careful, {Change::Delete, 21, L"k0"}},
         CRegistrySubkeyNames::WHOLE},
        {"every subkey taken so far is deleted",
         {careful, {Change::Delete, 20, L"k0"}, {Change::Delete, 20, L"k1"}, {Change::Delete, 20, L"k2"},
          {Change::Delete, 20, L"k3"}},
         CRegistrySubkeyNames::WHOLE},
        {"deletions again and again",
         {careful, {Change::Delete, 16, L"k0"}, {Change::Delete, 22, L"k4"}, {Change::Delete, 27, L"k2"},
          {Change::Delete, 30, L"k8"}},
         CRegistrySubkeyNames::WHOLE},
        {"a subkey is deleted before the end of the list is read",
         {careful, {Change::Delete, 34, L"k5"}},
         CRegistrySubkeyNames::WHOLE},
        {"a subkey is created below the next index",
         {careful, {Change::Create, 20, L"k05"}},
         CRegistrySubkeyNames::WHOLE},
        {"the key itself is deleted during the first reading",
         {{Change::DeleteParent, 5, nullptr}},
         CRegistrySubkeyNames::KEY_GONE},
        {"the key itself is deleted during the careful reading",
         {careful, {Change::DeleteParent, 20, nullptr}},
         CRegistrySubkeyNames::KEY_GONE},
        {"the enumeration fails for good during the first reading",
         {{Change::FailFromHere, 5, nullptr}},
         CRegistrySubkeyNames::CUT_SHORT},
        {"the enumeration fails for good during the careful reading",
         {careful, {Change::FailFromHere, 16, nullptr}},
         CRegistrySubkeyNames::CUT_SHORT},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CRegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.IsActive());
        for (int i = 0; i < kSubkeys; ++i)
            ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, ("Names\\k" + std::to_string(i)).c_str()));
        HKEY opened = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kParent, 0, KEY_READ, &opened), ERROR_SUCCESS);
        CRegistryKey key(opened);

        CScriptedNames reading(key, row.changes);
        std::vector<std::wstring> names;
        EXPECT_EQ(reading.Read(&names), row.ending);
        // Every change came while the reading went on.
        EXPECT_EQ(reading.Applied(), row.changes.size());
        if (row.ending != CRegistrySubkeyNames::WHOLE)
            continue;
        // In enumeration order, each name once, and none that stayed left out.
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
        EXPECT_TRUE(std::adjacent_find(names.begin(), names.end()) == names.end());
        const std::vector<std::wstring> deleted = reading.Deleted();
        for (int i = 0; i < kSubkeys; ++i) {
            const std::wstring name = SubkeyName(i);
            if (std::find(deleted.begin(), deleted.end(), name) == deleted.end()) {
                EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << i;
            }
        }
    }
}

TEST(RegistrySubkeyNames, AKeyThatChangesAtEveryCallEndsTheReadingWithoutClaimingItWhole)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    for (int i = 0; i < kSubkeys; ++i)
        ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, ("Names\\k" + std::to_string(i)).c_str()));
    HKEY opened = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kParent, 0, KEY_READ, &opened), ERROR_SUCCESS);
    CRegistryKey key(opened);
    // A new subkey in front of all the others before every call from the second on.
    std::vector<std::wstring> fronts;
    for (int call = 2; call < 5000; ++call)
        fronts.push_back(L"a" + std::to_wstring(100000 - call));
    std::vector<Change> changes;
    for (size_t i = 0; i < fronts.size(); ++i)
        changes.push_back({Change::Create, static_cast<int>(i) + 2, fronts[i].c_str()});
    CScriptedNames reading(key, changes);
    std::vector<std::wstring> names;
    EXPECT_EQ(reading.Read(&names), CRegistrySubkeyNames::CUT_SHORT);
}
