#include "RegistrySnapshot.h"

#include <sstream>

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t ch : text)
        out += ch < 0x80 && ch >= 0x20 ? static_cast<char>(ch) : '?';
    return out;
}

bool Walk(HKEY key, const std::wstring& path, RegistrySnapshot* snapshot)
{
    auto& values = (*snapshot)[path];
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        SnapshotValue value{type, std::vector<BYTE>(size)};
        DWORD read = size;
        if (::RegQueryValueExW(key, name, nullptr, &type, value.data.data(), &read) != ERROR_SUCCESS)
            return false;
        value.data.resize(read);
        values[std::wstring(name, nameLength)] = value;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            return false;
        const bool ok = Walk(child, path + L"\\" + name, snapshot);
        ::RegCloseKey(child);
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

bool TakeSnapshot(HKEY root, const wchar_t* key, RegistrySnapshot* snapshot)
{
    snapshot->clear();
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    const bool ok = Walk(opened, L"", snapshot);
    ::RegCloseKey(opened);
    return ok;
}

std::string CompareSnapshots(const RegistrySnapshot& expected, const RegistrySnapshot& actual)
{
    std::ostringstream out;
    for (const auto& key : expected) {
        auto found = actual.find(key.first);
        if (found == actual.end()) {
            out << "missing key '" << Narrow(key.first) << "'\n";
            continue;
        }
        for (const auto& value : key.second) {
            auto other = found->second.find(value.first);
            if (other == found->second.end())
                out << "missing value '" << Narrow(key.first) << "' : '" << Narrow(value.first) << "'\n";
            else if (!(other->second == value.second))
                out << "changed value '" << Narrow(key.first) << "' : '" << Narrow(value.first) << "' type "
                    << value.second.type << "->" << other->second.type << " size " << value.second.data.size()
                    << "->" << other->second.data.size() << "\n";
        }
        for (const auto& value : found->second)
            if (!key.second.count(value.first))
                out << "extra value '" << Narrow(key.first) << "' : '" << Narrow(value.first) << "'\n";
    }
    for (const auto& key : actual)
        if (!expected.count(key.first))
            out << "extra key '" << Narrow(key.first) << "'\n";
    return out.str();
}

bool WriteRegValueW(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = ::RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}
