#include "Registry/RegistrySubkeyList.h"

namespace {

// Registry key names are at most 255 characters.
const DWORD kNameBufferLength = 256;

} // namespace

bool ReadSubkeyNames(HKEY key, std::vector<CString>* names)
{
    names->clear();
    DWORD count = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    names->reserve(count);
    bool complete = true;
    char name[kNameBufferLength + 1];
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = kNameBufferLength;
        name[0] = '\0';
        const LONG result = ::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;  // keys deleted meanwhile: the list simply got shorter
        if (result != ERROR_SUCCESS) {
            complete = false;
            continue;
        }
        names->push_back(CString(name, static_cast<int>(length)));
    }
    return complete;
}
