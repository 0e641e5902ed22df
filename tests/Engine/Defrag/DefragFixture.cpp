#include "DefragFixture.h"

#include "AfxFile.h"

namespace {

const char kHiveList[] = "SYSTEM\\CurrentControlSet\\Control\\hivelist";

} // namespace

LONG CTestDefrag::RequestReplacement(HKEY root, const char* key, const char* newFile, const char* oldFile)
{
    if (!recordRequests)
        return CRegistryDefrag::RequestReplacement(root, key, newFile, oldFile);
    requests.push_back({root, key, newFile, oldFile, ReadWholeFile(newFile)});
    if (writeBackupOnRequest) {
        HANDLE file = ::CreateFileA(oldFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    }
    return requestResult;
}

CDefragFixture::CDefragFixture(bool withHiveList)
{
    defrag.SetWorkFolderParent(folder.Path().c_str());
    if (withHiveList)
        CreateRegKey(HKEY_LOCAL_MACHINE, kHiveList);
}

std::string CDefragFixture::AddHive(const char* valueName, const char* fileName, size_t size)
{
    const std::string path = folder.WriteFile(std::string("hives\\") + fileName, std::string(size, 'h'));
    AddListValue(valueName, path);
    return path;
}

void CDefragFixture::AddListValue(const char* valueName, const std::string& data)
{
    WriteRegString(HKEY_LOCAL_MACHINE, kHiveList, valueName, data.c_str());
}

std::string CDefragFixture::DeviceForm(const std::string& path)
{
    const CString drive = CString(path.c_str()).Left(2);
    for (const DriveDevice& entry : CRegistryDefrag::ReadDeviceMap())
        if (entry.first.CompareNoCase(drive) == 0)
            return std::string(entry.second) + path.substr(2);
    return path;
}
