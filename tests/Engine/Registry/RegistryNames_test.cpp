// Reading a key's subkey (or value) names while other programs delete (or create) subkeys or
// values between any two enumeration calls: every one that stays is read, once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Registry/RegistryKey.h"
#include "Registry/RegistryNames.h"
#include "RegistrySandbox.h"

namespace {

const wchar_t kParent[] = L"Names";
const int kSubkeys = 10;

// Before the enumeration call of the given number (counted from 1 over one Read), a subkey (or a
// value) is deleted or created, the parent deleted, or that call and every later one fails.
struct Change {
    enum Kind { Delete, Create, DeleteParent, FailFromHere } kind;
    int beforeCall;
    const wchar_t* name;
};

std::wstring SubkeyName(int index)
{
    return L"k" + std::to_wstring(index);
}

// The parent holding kSubkeys subkeys, or values, named k0, k1, ...
bool PlantNames(CRegistryNames::Kind kind)
{
    for (int i = 0; i < kSubkeys; ++i) {
        const std::string name = "k" + std::to_string(i);
        if (kind == CRegistryNames::SUBKEYS ? !CreateRegKey(HKEY_CURRENT_USER, ("Names\\" + name).c_str())
                                            : !WriteRegString(HKEY_CURRENT_USER, "Names", name.c_str(), "data"))
            return false;
    }
    return true;
}

class CScriptedNames : public CRegistryNames
{
public:
    CScriptedNames(HKEY key, Kind kind, std::vector<Change> changes)
        : CRegistryNames(key, kind), m_key(key), m_kind(kind), m_changes(changes)
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
        return CRegistryNames::NameAt(index, name);
    }

private:
    // False for a call that is to fail.
    bool Apply(const Change& change)
    {
        m_applied.insert(&change);
        switch (change.kind) {
        case Change::Delete:
            if (m_kind == SUBKEYS)
                ::RegDeleteKeyW(m_key, change.name);
            else
                ::RegDeleteValueW(m_key, change.name);
            m_deleted.push_back(change.name);
            return true;
        case Change::Create: {
            HKEY created = nullptr;
            if (m_kind == VALUES)
                ::RegSetValueExW(m_key, change.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
            else if (::RegCreateKeyExW(m_key, change.name, 0, nullptr, 0, KEY_READ, nullptr, &created, nullptr) ==
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
    Kind m_kind;
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
TEST(RegistryNames, ReadsEverySubkeyAndValueThatStaysWhateverIsDeletedBetweenTwoCalls)
{
    const Change careful = {Change::Create, 12, L"z"};
    const struct {
        const char* what;
        std::vector<Change> changes;
        CRegistryNames::Ending ending;
    } rows[] = {
        {"nothing changes", {}, CRegistryNames::WHOLE},
        {"a subkey already read is deleted during the first reading",
         {{Change::Delete, 6, L"k2"}},
         CRegistryNames::WHOLE},
        {"a subkey already taken is deleted before the next is read",
         {careful, {Change::Delete, 20, L"k1"}},
         CRegistryNames::WHOLE},
        {"the subkey taken last is deleted before the next is read",
         {careful, {Change::Delete, 20, L"k3"}},
         CRegistryNames::WHOLE},
        {"a subkey is deleted between the reading of a name and its check",
         {careful, {Change::Delete, 21, L"k0"}},
         CRegistryNames::WHOLE},
        {"every subkey taken so far is deleted",
         {careful, {Change::Delete, 20, L"k0"}, {Change::Delete, 20, L"k1"}, {Change::Delete, 20, L"k2"},
          {Change::Delete, 20, L"k3"}},
         CRegistryNames::WHOLE},
        {"deletions again and again",
         {careful, {Change::Delete, 16, L"k0"}, {Change::Delete, 22, L"k4"}, {Change::Delete, 27, L"k2"},
          {Change::Delete, 30, L"k8"}},
         CRegistryNames::WHOLE},
        {"a subkey is deleted before the end of the list is read",
         {careful, {Change::Delete, 34, L"k5"}},
         CRegistryNames::WHOLE},
        {"a subkey is created below the next index",
         {careful, {Change::Create, 20, L"k05"}},
         CRegistryNames::WHOLE},
        {"the key itself is deleted during the first reading",
         {{Change::DeleteParent, 5, nullptr}},
         CRegistryNames::KEY_GONE},
        {"the key itself is deleted during the careful reading",
         {careful, {Change::DeleteParent, 20, nullptr}},
         CRegistryNames::KEY_GONE},
        {"the enumeration fails for good during the first reading",
         {{Change::FailFromHere, 5, nullptr}},
         CRegistryNames::CUT_SHORT},
        {"the enumeration fails for good during the careful reading",
         {careful, {Change::FailFromHere, 16, nullptr}},
         CRegistryNames::CUT_SHORT},
    };
    for (const CRegistryNames::Kind kind : {CRegistryNames::SUBKEYS, CRegistryNames::VALUES}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(kind == CRegistryNames::SUBKEYS ? "subkeys: " : "values: ") + row.what);
            CRegistrySandbox sandbox;
            ASSERT_TRUE(sandbox.IsActive());
            ASSERT_TRUE(PlantNames(kind));
            // The scripted changes go through the reading's own handle: it may write too.
            HKEY opened = nullptr;
            ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kParent, 0, KEY_READ | KEY_WRITE, &opened), ERROR_SUCCESS);
            CRegistryKey key(opened);

            CScriptedNames reading(key, kind, row.changes);
            std::vector<std::wstring> names;
            EXPECT_EQ(reading.Read(&names), row.ending);
            // Every change came while the reading went on.
            EXPECT_EQ(reading.Applied(), row.changes.size());
            if (row.ending != CRegistryNames::WHOLE)
                continue;
            // In enumeration order (subkeys by name), each name once, and none that stayed left out.
            if (kind == CRegistryNames::SUBKEYS) {
                EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
            }
            EXPECT_TRUE(std::set<std::wstring>(names.begin(), names.end()).size() == names.size());
            const std::vector<std::wstring> deleted = reading.Deleted();
            for (int i = 0; i < kSubkeys; ++i) {
                const std::wstring name = SubkeyName(i);
                if (std::find(deleted.begin(), deleted.end(), name) == deleted.end()) {
                    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << i;
                }
            }
        }
    }
}

TEST(RegistryNames, AKeyThatChangesAtEveryCallEndsTheReadingWithoutClaimingItWhole)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    ASSERT_TRUE(PlantNames(CRegistryNames::SUBKEYS));
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
    CScriptedNames reading(key, CRegistryNames::SUBKEYS, changes);
    std::vector<std::wstring> names;
    EXPECT_EQ(reading.Read(&names), CRegistryNames::CUT_SHORT);
}
