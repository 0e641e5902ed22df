// Backup and restore of synthetic subtrees of 10k, 40k and 160k values, of 20k keys of one value
// each, and of one key holding a single 64 MiB value, beside the system's "reg export" and
// "reg import" of the same key: seconds, the ratios (ours / reg's, below 1 is faster), the file
// size and the peak memory of each half.
// Each backup and each restore runs in a child process of its own, so its peak memory is its own;
// ours and reg's run in turn five times (twice for the 64 MiB value): times are the quickest run,
// ratios the median of the pairs.
//   backup_bench.exe                      run under Wine (or Windows) by hand
//   backup_bench.exe --fill VALUES        (child) fill the bench key with that many values
//   backup_bench.exe --backup FILE        (child) back up the bench key into FILE
//   backup_bench.exe --restore FILE       (child) delete the bench key, then restore FILE
//   backup_bench.exe --reg-export FILE    (child) the same key by "reg export" into FILE
//   backup_bench.exe --reg-import FILE    (child) delete the bench key, then "reg import" FILE
// A backup, restore or reg child prints "<seconds> <peak MB> <result>" on its standard output;
// the children let two builds, or a build and reg, be timed in turn on the same key.
//
// First it prints the repair of one key holding 1k to 50k broken values, every value a finding:
// the repair job (partial backup, then the deletions) in seconds and per item, and the partial
// backup alone (target: 1,000 values in under 1 s, the time per item flat as the key grows).
//   backup_bench.exe --repair             only these figures
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "EngineProcess.h"
#include "FakeScanItems.h"
#include "Registry/RegistryManager.h"
#include "VexaEngine.h"

namespace {

const char kBenchKey[] = "Software\\KelvaraBackupBench";
const int kValuesPerKey = 100;
const int kSmallKeys = 20000;
const DWORD kLargeValueBytes = 64 * 1024 * 1024;

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

// Many small keys: `keys` keys of one value each, a hundred to a parent key. What a backup
// spends per key (listing, opening, querying) shows here rather than what it spends per value.
bool FillKeys(int keys)
{
    for (int k = 0; k < keys; ++k) {
        const std::string path =
            std::string(kBenchKey) + "\\Group" + std::to_string(k / 100) + "\\Key" + std::to_string(k);
        HKEY key = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return false;
        const DWORD number = static_cast<DWORD>(k);
        ::RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        ::RegCloseKey(key);
    }
    return true;
}

bool FillLarge()
{
    std::vector<BYTE> data(kLargeValueBytes);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i * 7 + (i >> 12));
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG result = ::RegSetValueExA(key, "Large", 0, REG_BINARY, data.data(), kLargeValueBytes);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// Runs a command line to its end; its standard output in *output when given. Seconds, negative
// when it could not run or did not succeed.
double Run(std::string command, std::string* output = nullptr)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return -1;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    const LARGE_INTEGER start = Now();
    const BOOL started =
        ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(writeEnd);
    if (!started) {
        ::CloseHandle(readEnd);
        return -1;
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read)
        text.append(buffer, read);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    const LARGE_INTEGER end = Now();
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(readEnd);
    if (output)
        *output = text;
    return exitCode == 0 ? Seconds(start, end) : -1;
}

std::string SelfPath()
{
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

struct ChildFigures {
    double seconds = -1;
    double peakMegabytes = 0;
    int result = 0;
};

// One half (backup or restore) in a child process of this program.
ChildFigures RunHalf(const char* half, const std::string& file)
{
    std::string output;
    ChildFigures figures;
    if (Run("\"" + SelfPath() + "\" " + half + " \"" + file + "\"", &output) < 0)
        return figures;
    if (std::sscanf(output.c_str(), "%lf %lf %d", &figures.seconds, &figures.peakMegabytes, &figures.result) != 3)
        figures.seconds = -1;
    return figures;
}

int ChildMain(const char* half, const char* file)
{
    if (std::strcmp(half, "--fill") == 0) {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
        return Fill(std::atoi(file)) ? 0 : 1;
    }
    if (std::strcmp(half, "--restore") == 0 || std::strcmp(half, "--reg-import") == 0)
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
    if (std::strncmp(half, "--reg-", 6) == 0) {
        const std::string keyName = std::string("HKEY_CURRENT_USER\\") + kBenchKey;
        const double seconds = std::strcmp(half, "--reg-export") == 0
                                   ? Run("reg.exe export \"" + keyName + "\" \"" + file + "\" /y")
                                   : Run("reg.exe import \"" + std::string(file) + "\"");
        std::printf("%.4f 0 %d\n", seconds, seconds >= 0 ? 1 : 0);
        return 0;
    }
    CRegistryManager manager(nullptr);
    const LARGE_INTEGER start = Now();
    int result = 0;
    if (std::strcmp(half, "--backup") == 0) {
        CFakeScanItems items({{std::string("HKEY_CURRENT_USER\\") + kBenchKey, false}});
        result = manager.ExportItems(file, &items);
    } else {
        result = manager.ImportFile(file);
    }
    const double seconds = Seconds(start, Now());
    std::printf("%.4f %.1f %d\n", seconds, PeakMegabytes(), result);
    return 0;
}

// ---- The repair of one key's findings ----

const char kRepairKey[] = "Software\\KelvaraRepairBench";

// Waits for the end of the job it is lent to.
class CEndStatus : public CAbstractStatus
{
public:
    CEndStatus() : m_finished(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CEndStatus() override { ::CloseHandle(m_finished); }
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char*, int, int, INT_PTR) override {}
    int OperationFinished(int) override
    {
        ::SetEvent(m_finished);
        return 1;
    }
    int ReportResult(int) override { return 1; }
    void Wait() { ::WaitForSingleObject(m_finished, INFINITE); }

private:
    HANDLE m_finished;
};

// The key with `values` values naming missing programs, and one finding per value.
std::vector<CFakeScanItems::Item> FillRepairKey(int values)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kRepairKey);
    std::vector<CFakeScanItems::Item> items;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kRepairKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return items;
    for (int v = 0; v < values; ++v) {
        const std::string name = "Broken" + std::to_string(v);
        const std::string text = "C:\\Program Files\\Gone\\tool" + std::to_string(v) + ".exe";
        ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
        items.push_back({std::string("HKEY_CURRENT_USER\\") + kRepairKey + ITEM_VALUE_SEPARATOR + name, false});
    }
    ::RegCloseKey(key);
    return items;
}

DWORD ValueCount(const char* keyPath)
{
    HKEY key = nullptr;
    DWORD values = 0;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr);
        ::RegCloseKey(key);
    }
    return values;
}

// The partial backup the repair writes, alone, into a file of the temporary folder.
double MeasurePartialBackup(const std::vector<CFakeScanItems::Item>& findings, const std::string& file)
{
    CFakeScanItems items(findings);
    CRegistryManager manager(nullptr);
    const LARGE_INTEGER start = Now();
    const int result = manager.ExportItems(file.c_str(), &items);
    const double seconds = Seconds(start, Now());
    ::DeleteFileA(file.c_str());
    return result == 1 ? seconds : -1;
}

// The repair job over the findings; the backup it writes beside the bench is deleted after.
double MeasureRepair(const std::vector<CFakeScanItems::Item>& findings, bool* allDeleted)
{
    CFakeScanItems items(findings);
    CVexaEngineProcess process(false);
    CEndStatus status;
    const LARGE_INTEGER start = Now();
    if (process.StartRepair(&items, &status) != 1 || process.Resume() != 1)
        return -1;
    status.Wait();
    const double seconds = Seconds(start, Now());
    while (process.GetThreadHandle())
        ::Sleep(1);
    *allDeleted = ValueCount(kRepairKey) == 0;
    WIN32_FIND_DATAA found;
    const std::string folder = SelfPath().substr(0, SelfPath().rfind('\\')) + "\\Backup\\";
    HANDLE search = ::FindFirstFileA((folder + "*_REGBACKUP.rbk").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            ::DeleteFileA((folder + found.cFileName).c_str());
        while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    return seconds;
}

void MeasureRepairs(const std::string& backupFile)
{
    std::printf("repair of one key's findings\n%-9s %10s %12s %10s %12s\n", "values", "repair s", "us per item",
                "backup s", "us per item");
    for (int values : {1000, 5000, 10000, 50000}) {
        const std::vector<CFakeScanItems::Item> findings = FillRepairKey(values);
        const double backup = MeasurePartialBackup(findings, backupFile);
        bool allDeleted = false;
        const double repair = MeasureRepair(findings, &allDeleted);
        std::printf("%-9d %10.3f %12.1f %10.3f %12.1f%s\n", values, repair, repair * 1e6 / values, backup,
                    backup * 1e6 / values, allDeleted && repair >= 0 && backup >= 0 ? "" : "  (FAILED)");
        std::fflush(stdout);
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kRepairKey);
    std::printf("\n");
}

double Ratio(double ours, double reference)
{
    return ours > 0 && reference > 0 ? ours / reference : 0.0;
}

// Runs per half. Ours and reg's run in turn, so that each pair meets the same load of the
// machine (which only ever adds time); a ratio is the median of the pairs' ratios, a time the
// quickest run.
const int kRuns = 5;

struct HalfFigures {
    double seconds = -1;       // the quickest run
    double ratio = 0;          // median of ours / reg's over the pairs
    double referenceSeconds = -1;
    double peakMegabytes = 0;  // of the quickest run
    bool complete = true;
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One half of ours (--backup or --restore) against its reg command, run in turn.
HalfFigures MeasureHalf(const char* half, const std::string& file, const char* regHalf, const std::string& reference,
                        int runs)
{
    HalfFigures figures;
    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        const ChildFigures ours = RunHalf(half, file);
        const ChildFigures theirs = RunHalf(regHalf, reference);
        if (ours.seconds < 0 || ours.result != 1 || theirs.seconds < 0) {
            figures.complete = false;
            continue;
        }
        if (figures.seconds < 0 || ours.seconds < figures.seconds) {
            figures.seconds = ours.seconds;
            figures.peakMegabytes = ours.peakMegabytes;
        }
        if (figures.referenceSeconds < 0 || theirs.seconds < figures.referenceSeconds)
            figures.referenceSeconds = theirs.seconds;
        ratios.push_back(Ratio(ours.seconds, theirs.seconds));
    }
    figures.ratio = Median(ratios);
    return figures;
}

// Backs up and restores the bench key, each in turn with reg export and reg import.
void MeasureRow(const char* label, const std::string& backup, const std::string& reference, int runs = kRuns)
{
    const HalfFigures saved = MeasureHalf("--backup", backup, "--reg-export", reference, runs);
    const HalfFigures restored = MeasureHalf("--restore", backup, "--reg-import", reference, runs);
    std::printf("%-9s %9.3f %9.3f %6.2f %9.3f %9.3f %6.2f %8.2f %8.1f %8.1f%s\n", label, saved.seconds,
                saved.referenceSeconds, saved.ratio, restored.seconds, restored.referenceSeconds, restored.ratio,
                double(FileSize(backup)) / (1024.0 * 1024.0), saved.peakMegabytes, restored.peakMegabytes,
                saved.complete && restored.complete ? "" : "  (FAILED)");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3)
        return ChildMain(argv[1], argv[2]);

    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string backup = std::string(temp) + "kelvara_bench.rbk";
    const std::string reference = std::string(temp) + "kelvara_bench.reg";

    MeasureRepairs(backup);
    if (argc == 2 && std::strcmp(argv[1], "--repair") == 0)
        return 0;

    std::printf("%-9s %9s %9s %6s %9s %9s %6s %8s %8s %8s\n", "values", "backup s", "export s", "ratio",
                "restore s", "import s", "ratio", "file MB", "bk peak", "rs peak");
    for (int values : {10000, 40000, 160000}) {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
        if (!Fill(values)) {
            std::printf("cannot create the subtree\n");
            return 1;
        }
        MeasureRow(std::to_string(values).c_str(), backup, reference);
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
    if (FillKeys(kSmallKeys))
        MeasureRow("20k keys", backup, reference);
    else
        std::printf("cannot create the keys\n");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
    if (FillLarge())
        MeasureRow("64MiB", backup, reference, 2);  // reg import takes a minute for it
    else
        std::printf("cannot create the 64 MiB value\n");
    std::printf("ratio = median of ours / reg's over pairs run in turn (export for the backup, import for the "
                "restore); peaks in MB\n");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kBenchKey);
    ::DeleteFileA(backup.c_str());
    ::DeleteFileA(reference.c_str());
    return 0;
}
