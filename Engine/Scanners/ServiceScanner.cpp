// Services whose program file is missing (SRV).
#include "EngineProcess.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"
#include "Scanners/CommandLine.h"

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char kImagePathValue[] = "imagepath";

CString WindowsFolder()
{
    char folder[MAX_PATH + 1] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (!length || length > MAX_PATH)
        return CString();
    CString windows(folder);
    windows.TrimRight('\\');
    return windows;
}

} // namespace

void CVexaEngineProcess::ScanServices()
{
    CRegistryKey services;
    if (services.Open(HKEY_LOCAL_MACHINE, kServicesKey, KEY_READ) != ERROR_SUCCESS)
        return;
    ReportProgress(PROGRESS_STEP);
    std::vector<CString> names;
    ReadSubkeyNames(services, &names);
    services.Close();
    const CString windowsFolder = WindowsFolder();
    for (const CString& name : names) {
        if (!KeepRunning())
            return;
        CheckServiceImage(name, windowsFolder);
    }
}

void CVexaEngineProcess::CheckServiceItem(const CString& item)
{
    CString serviceName;
    const CString windowsFolder = WindowsFolder();
    if (ChildKeyOfItem(item, HKEY_LOCAL_MACHINE, kServicesKey, &serviceName) && !windowsFolder.IsEmpty())
        CheckServiceImage(serviceName, windowsFolder);
}

void CVexaEngineProcess::CheckServiceImage(const CString& serviceName, const CString& windowsFolder)
{
    const CString servicePath = CString(kServicesKey) + "\\" + serviceName;
    CRegistryKey service;
    if (service.Open(HKEY_LOCAL_MACHINE, servicePath, KEY_READ) != ERROR_SUCCESS)
        return;
    CRegistryValueEnum values(service);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value)) {
        if (!value.HasData())
            continue;
        ReportProgress(PROGRESS_STEP);
        if (CString(value.Name).MakeLower() == kImagePathValue) {
            CString image = value.Text().MakeLower();
            image.Trim('"');
            // Drivers (".sys") and other images without a program file are not judged.
            const CString program = ProgramPathBeforeExe(image);
            if (!program.IsEmpty() && !windowsFolder.IsEmpty() &&
                JudgeFileReference(TranslateServiceImagePath(program, windowsFolder)) == FILE_STATE_MISSING)
                ReportRegistryFinding(HKEY_LOCAL_MACHINE, servicePath, nullptr, SCAN_SRV);
        }
        ReportScanActivity(servicePath, "SRV");
    }
}
