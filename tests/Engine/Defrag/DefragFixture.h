// A compactor whose work folder, privileges and replacement requests a test controls, over a
// sandboxed registry with its own hive list.
#pragma once

#include <string>
#include <vector>

#include "Registry/RegistryDefrag.h"
#include "RegistrySandbox.h"
#include "TempFolder.h"

struct ReplacementRequest {
    HKEY root;
    std::string key, newFile, oldFile, newFileText;
};

class CTestDefrag : public CRegistryDefrag
{
public:
    CTestDefrag() { ::InitializeCriticalSection(GetLock()); }
    ~CTestDefrag() override { ::DeleteCriticalSection(GetLock()); }

    BOOL EnablePrivilege(BOOL enable, const char* privilege) override
    {
        if (refusePrivileges && enable)
            return FALSE;
        return CRegistryDefrag::EnablePrivilege(enable, privilege);
    }

    bool refusePrivileges = false;
    bool recordRequests = false;
    bool writeBackupOnRequest = false;  // as the system would, before failing
    LONG requestResult = ERROR_SUCCESS;
    std::vector<ReplacementRequest> requests;

protected:
    LONG RequestReplacement(HKEY root, const char* key, const char* newFile, const char* oldFile) override;
};

class CDefragFixture
{
public:
    // With a hive list key (empty) unless told otherwise.
    explicit CDefragFixture(bool withHiveList = true);
    bool Ready() const { return sandbox.IsActive(); }

    // A hive file of the given size and its hive list value; returns the file's path.
    std::string AddHive(const char* valueName, const char* fileName, size_t size);
    void AddListValue(const char* valueName, const std::string& data);
    // The path with its drive replaced by that drive's device name.
    static std::string DeviceForm(const std::string& path);

    CRegistrySandbox sandbox;
    CTempFolder folder;
    CTestDefrag defrag;
};
