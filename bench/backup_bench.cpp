// Full backup and restore of a synthetic subtree of 10k, 40k and 160k values: values per second,
// file size and peak memory, beside the same subtree exported by the system's "regedit /e".
//   backup_bench.exe            run under Wine (or Windows) by hand
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FakeScanItems.h"
#include "Registry/RegistryManager.h"
#include "VexaEngine.h"

namespace {

const char kBenchKey[] = "Software\\KelvaraBackupBench";
const int kValuesPerKey = 100;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

// Bound by name, so the bench needs no import library of its own.
double PeakMegabytes()
{
    typedef BOOL(WINAPI * MemoryInfo)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
    const MemoryInfo query = reinterpret_cast<MemoryInfo>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!query || !query(::GetCurrentProcess(), &counters, sizeof(counters)))
        return 0;
    return double(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

ULONGLONG FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Fill(int values)
{
    for (int k = 0; k < values / kValuesPerKey; ++k) {
        const std::string path = std::string(kBenchKey) + "\\Key" + std::to_string(k);
        HKEY key = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return false;
        for (int v = 0; v < kValuesPerKey; ++v) {
            const std::string name = "Value" + std::to_string(v);
            switch (v % 3) {
            case 0: {
                const std::string text = "C:\\Program Files\\Bench\\file" + std::to_string(k * v) + ".dll";
                ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
                break;
            }
            case 1: {
                const DWORD number = static_cast<DWORD>(k * 1000 + v);
                ::RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
                break;
            }
            default: {
                BYTE bytes[32];
                for (int i = 0; i < 32; ++i)
                    bytes[i] = static_cast<BYTE>(k + v + i);
                ::RegSetValueExA(key, name.c_str(), 0, REG_BINARY, bytes, sizeof(bytes));
            }
            }
        }
        ::RegCloseKey(key);
    }
    return true;
}

// Seconds that "regedit /e" takes for the same subtree; negative when it could not run.
double RegeditExport(const std::string& file)
{
    std::string command = "regedit.exe /e \"" + file + "\" \"HKEY_CURRENT_USER\\" + kBenchKey + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const LARGE_INTEGER start = Now();
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    const LARGE_INTEGER end = Now();
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return Seconds(start, end);
}

} // namespace

int main()
{
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string backup = std::string(temp) + "kelvara_bench.rbk";
    const std::string reference = std::string(temp) + "kelvara_bench.reg";
    const std::string item = std::string("HKEY_CURRENT_USER\\") + kBenchKey;

    std::printf("%8s %10s %12s %10s %12s %10s %10s %8s %9s\n", "values", "backup s", "values/s", "file MB",
                "restore s", "values/s", "regedit s", "ratio", "peak MB");
    for (int values : {10000, 40000, 160000}) {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
        if (!Fill(values)) {
            std::printf("cannot create the subtree\n");
            return 1;
        }
        CFakeScanItems items({{item, false}});
        CRegistryManager manager(nullptr);

        LARGE_INTEGER start = Now();
        const int exported = manager.ExportItems(backup.c_str(), &items);
        const double backupSeconds = Seconds(start, Now());

        ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
        start = Now();
        const int restored = manager.ImportFile(backup.c_str());
        const double restoreSeconds = Seconds(start, Now());

        const double regeditSeconds = RegeditExport(reference);
        std::printf("%8d %10.3f %12.0f %10.2f %12.3f %10.0f %10.3f %8.2f %9.1f%s\n", values, backupSeconds,
                    values / backupSeconds, double(FileSize(backup)) / (1024.0 * 1024.0), restoreSeconds,
                    values / restoreSeconds, regeditSeconds,
                    regeditSeconds > 0 ? backupSeconds / regeditSeconds : 0.0, PeakMegabytes(),
                    exported == 1 && restored == 1 ? "" : "  (FAILED)");
    }
    std::printf("ratio = backup time / regedit export time (below 1: faster than regedit)\n");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
    ::DeleteFileA(backup.c_str());
    ::DeleteFileA(reference.c_str());
    return 0;
}
