#include "ItemLocation.h"

#include <sddl.h>

#include <cstring>
#include <vector>

#include "VexaEngine.h"

namespace {

const char kClassesRoot[] = "hkey_classes_root";
const char kCurrentUser[] = "hkey_current_user";
const char kLocalMachine[] = "hkey_local_machine";
const char kUsers[] = "hkey_users";
const char kClassesBelowSoftware[] = "\\software\\classes";
const char kUnnamedValueText[] = "(default)";

struct ROOT_NAME
{
    const char* name;
    const char* canonical;
};

const ROOT_NAME kRootNames[] = {
    { "HKEY_CLASSES_ROOT", kClassesRoot },   { "HKCR", kClassesRoot },
    { "HKEY_CURRENT_USER", kCurrentUser },   { "HKCU", kCurrentUser },
    { "HKEY_LOCAL_MACHINE", kLocalMachine }, { "HKLM", kLocalMachine },
    { "HKEY_USERS", kUsers },                { "HKU", kUsers },
    { "HKEY_CURRENT_CONFIG", "hkey_current_config" }, { "HKCC", "hkey_current_config" },
};

bool EndsAPart(const std::string& text, size_t position)
{
    return position == text.size() || text[position] == '\\' || text[position] == ITEM_VALUE_SEPARATOR;
}

// The canonical root of the text's first part, or null when it names no root.
const char* CanonicalRoot(const char* text, size_t* rootLength)
{
    size_t length = 0;
    while (text[length] && text[length] != '\\' && text[length] != ITEM_VALUE_SEPARATOR)
        ++length;
    for (const ROOT_NAME& root : kRootNames) {
        if (std::strlen(root.name) == length && ::_strnicmp(text, root.name, length) == 0) {
            *rootLength = length;
            return root.canonical;
        }
    }
    return nullptr;
}

void LowerInPlace(std::string* text)
{
    // CharLowerBuff knows the code page: double-byte characters stay whole.
    if (!text->empty())
        ::CharLowerBuffA(&(*text)[0], static_cast<DWORD>(text->size()));
}

// When `rest` starts with `part` followed by the end of a part, takes it off and returns true.
bool TakePart(std::string* rest, const std::string& part)
{
    if (part.empty() || rest->compare(0, part.size(), part) != 0 || !EndsAPart(*rest, part.size()))
        return false;
    rest->erase(0, part.size());
    return true;
}

bool IsFilePath(const char* text)
{
    const bool onDrive = ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                         text[1] == ':';
    return onDrive || (text[0] == '\\' && text[1] == '\\');
}

} // namespace

CItemLocation::CItemLocation() : CItemLocation(CurrentUserSid()) {}

CItemLocation::CItemLocation(const CString& currentUserSid) : m_userSid(currentUserSid.GetString())
{
    LowerInPlace(&m_userSid);
}

bool CItemLocation::IsRegistryText(const char* itemText)
{
    size_t rootLength = 0;
    return itemText && CanonicalRoot(itemText, &rootLength) != nullptr;
}

std::string CItemLocation::IdentityOf(const char* itemText, int category) const
{
    if (!itemText)
        return std::string();
    size_t rootLength = 0;
    if (const char* root = CanonicalRoot(itemText, &rootLength))
        return RegistryIdentity(root, itemText + rootLength, category);
    std::string identity(itemText);
    if (IsFilePath(itemText))
        LowerInPlace(&identity);
    return identity;
}

std::string CItemLocation::RegistryIdentity(const std::string& root, std::string rest, int category) const
{
    LowerInPlace(&rest);
    // The key path and the value name: the first separator splits them, as the repair does.
    const size_t separator = rest.find(ITEM_VALUE_SEPARATOR);
    std::string value = separator == std::string::npos ? std::string() : rest.substr(separator);
    std::string key = separator == std::string::npos ? rest : rest.substr(0, separator);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    if (static_cast<DWORD>(category) == SCAN_FPR && value == std::string(1, ITEM_VALUE_SEPARATOR) + kUnnamedValueText)
        value.resize(1);

    std::string canonicalRoot = root;
    if (root == kUsers && !m_userSid.empty()) {
        if (TakePart(&key, "\\" + m_userSid))
            canonicalRoot = kCurrentUser;
        else if (TakePart(&key, "\\" + m_userSid + "_classes"))
            canonicalRoot = kClassesRoot;
    }
    if ((canonicalRoot == kCurrentUser || canonicalRoot == kLocalMachine) && TakePart(&key, kClassesBelowSoftware))
        canonicalRoot = kClassesRoot;
    return canonicalRoot + key + value;
}

CString CItemLocation::CurrentUserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return CString();
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    CString sid;
    if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        char* text = nullptr;
        if (::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
            sid = text;
            ::LocalFree(text);
        }
    }
    ::CloseHandle(token);
    return sid;
}
