// scan_bench [keys]: the cost of the file-reference walk against a bare walk of the same
// registry subtree. Builds synthetic subtrees of keys, keys*4 and keys*16 keys (default 1000)
// under HKEY_CURRENT_USER\Software\KelvaraBench, each key with a file reference (half of them
// to missing files), a number, a plain text and a binary value; walks each once with
// RegEnumKeyEx + RegEnumValue only and once with the file-reference check, and prints keys/s,
// values/s and the ratio of the two times.
// scan_bench --full [--list]: a scan of all sixteen categories over the registry and drive of the
// prefix it runs in (drive C: for shortcuts, the temporary folder for junk files), printing per
// category the findings and the time, then the keys per second of the registry roots the
// scanners cover and the time of a bare walk of those roots for the ratio; --list prints every
// finding as well.
// scan_bench --long-values: the startup-item check of one Run value made of ".exe" repeated, for
// texts of 250 KB to 2 MB, in seconds (linear growth: each doubling about doubles the time).
// Run it under Wine in a throwaway prefix.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "EngineProcess.h"
#include "Registry/RegistryWalk.h"

namespace full_scan {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class CBenchStatus : public CAbstractStatus
{
public:
    CBenchStatus() : m_finished(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CBenchStatus() override { ::CloseHandle(m_finished); }

    void SetActivity(const char* text, const char* area) override
    {
        // The job announces every category with an empty text before its scanner runs.
        if (text && !*text && area && std::strlen(area) == 3) {
            std::lock_guard<std::mutex> lock(m_mutex);
            CloseCategory();
            m_current = area;
            m_order.push_back(m_current);
            m_started = Clock::now();
        }
    }
    void SetProgress(int) override {}
    void ReportItem(const char* item, int category, int value, INT_PTR) override
    {
        // Size rows (value -1) and size totals ("-1") are not findings.
        if (value != 0 || !item || std::strcmp(item, ITEM_SIZE_TOTAL) == 0)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_findings[m_current].push_back(item);
        (void)category;
    }
    int OperationFinished(int) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CloseCategory();
        ::SetEvent(m_finished);
        return 1;
    }
    int ReportResult(int) override { return 1; }

    void Wait() { ::WaitForSingleObject(m_finished, INFINITE); }

    std::vector<std::string> m_order;
    std::map<std::string, double> m_seconds;
    std::map<std::string, std::vector<std::string>> m_findings;

private:
    void CloseCategory()
    {
        if (!m_current.empty())
            m_seconds[m_current] += SecondsSince(m_started);
        m_current.clear();
    }

    std::mutex m_mutex;
    HANDLE m_finished;
    std::string m_current;
    Clock::time_point m_started;
};

// The roots the registry scanners cover, walked without looking at anything.
unsigned BareWalk(double* seconds)
{
    const Clock::time_point start = Clock::now();
    unsigned keys = 0;
    CRegistryWalk walk([] { return true; });
    const auto count = [&keys](HKEY, const CString&, const CString&) { ++keys; };
    walk.Walk("HKEY_CLASSES_ROOT", "", count);
    walk.Walk("HKEY_USERS", "", count);
    walk.Walk("HKEY_LOCAL_MACHINE", "SOFTWARE", count);
    walk.Walk("HKEY_LOCAL_MACHINE", "System", count);
    *seconds = SecondsSince(start);
    return keys;
}

std::string Printable(const std::string& item)
{
    std::string text(item);
    for (char& ch : text)
        if (ch == '\xAC')
            ch = '|';
    return text;
}

// All sixteen categories over the prefix's own registry and drive.
int Run(bool list)
{

    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::set<CString> folders = {"C:", CString(temp)};

    CVexaEngineProcess process(false);
    CBenchStatus status;
    const Clock::time_point start = Clock::now();
    if (process.StartScan(&folders, SCAN_ALL, &status, SCAN_MODE_NORMAL) != 1 || process.Resume() != 1) {
        std::printf("the scan did not start\n");
        return 1;
    }
    status.Wait();
    const double scanSeconds = SecondsSince(start);

    std::printf("%-4s %9s %10s\n", "code", "findings", "seconds");
    size_t total = 0;
    for (const std::string& code : status.m_order) {
        const size_t count = status.m_findings[code].size();
        total += count;
        std::printf("%-4s %9u %10.3f\n", code.c_str(), static_cast<unsigned>(count), status.m_seconds[code]);
    }
    std::printf("all  %9u %10.3f\n", static_cast<unsigned>(total), scanSeconds);

    double walkSeconds = 0;
    const unsigned keys = BareWalk(&walkSeconds);
    std::printf("keys under HKCR, HKU, HKLM\\SOFTWARE, HKLM\\System: %u\n", keys);
    std::printf("scan: %.0f keys/s; bare walk: %.3f s (%.0f keys/s); scan/walk ratio %.1f\n",
                scanSeconds > 0 ? keys / scanSeconds : 0.0, walkSeconds, walkSeconds > 0 ? keys / walkSeconds : 0.0,
                walkSeconds > 0 ? scanSeconds / walkSeconds : 0.0);

    if (list)
        for (const std::string& code : status.m_order)
            for (const std::string& item : status.m_findings[code])
                std::printf("%s %s\n", code.c_str(), Printable(item).c_str());
    return 0;
}

} // namespace full_scan

namespace {

const char kBenchKey[] = "Software\\KelvaraBench";
const int kChildrenPerKey = 10;
const int kValuesPerKey = 4;
const int kPresentFiles = 200;
const int kRounds = 5;

class CCountingStatus : public CAbstractStatus
{
public:
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char*, int, int, INT_PTR) override { ++items; }
    int OperationFinished(int) override { return 0; }
    int ReportResult(int) override { return 0; }
    unsigned items = 0;
};

// The file-reference walk and the startup-item scan's Run-value check, outside a job.
class CBenchProcess : public CVexaEngineProcess
{
public:
    CBenchProcess() : CVexaEngineProcess(false) {}
    ~CBenchProcess() override
    {
        m_status = nullptr;
        m_running = 0;
    }
    void WalkFileReferences(CAbstractStatus* status, const char* startKey)
    {
        Begin(status);
        m_activityCounter = 3001;
        WalkRegistry("HKEY_CURRENT_USER", startKey, WALK_FILE_REFERENCES);
        End();
    }
    void CheckRunKey(CAbstractStatus* status, const char* keyPath)
    {
        Begin(status);
        CheckRunValues(HKEY_CURRENT_USER, keyPath);
        End();
    }

private:
    void Begin(CAbstractStatus* status)
    {
        m_status = status;
        m_running = 1;
        m_pathVariables.Reset();
        m_fileReferences.Reset();
    }
    void End()
    {
        m_running = 0;
        m_status = nullptr;
    }
};

double Seconds()
{
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Subtree {
    std::string key;
    unsigned keys = 0;
    unsigned values = 0;
};

void WriteKeyValues(HKEY key, unsigned index, const std::string& fileFolder)
{
    char reference[MAX_PATH];
    if (index % 2 == 0)
        std::snprintf(reference, sizeof(reference), "\"%s\\present\\file%03u.dll\" /arg", fileFolder.c_str(),
                      index / 2 % kPresentFiles);
    else
        std::snprintf(reference, sizeof(reference), "%s\\missing\\gone%06u.exe", fileFolder.c_str(), index);
    ::RegSetValueExA(key, "Program", 0, REG_SZ, reinterpret_cast<const BYTE*>(reference),
                     static_cast<DWORD>(std::strlen(reference) + 1));
    const DWORD number = index;
    ::RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    const char text[] = "Some description text of an entry";
    ::RegSetValueExA(key, "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    BYTE blob[48];
    for (unsigned i = 0; i < sizeof(blob); ++i)
        blob[i] = static_cast<BYTE>(index + i);
    ::RegSetValueExA(key, "Data", 0, REG_BINARY, blob, sizeof(blob));
}

// Breadth-first: kChildrenPerKey children per key until keyCount keys exist.
Subtree BuildSubtree(const std::string& name, unsigned keyCount, const std::string& fileFolder)
{
    Subtree tree;
    tree.key = std::string(kBenchKey) + "\\" + name;
    ::SHDeleteKeyA(HKEY_CURRENT_USER, tree.key.c_str());
    std::vector<std::string> queue = {tree.key};
    for (size_t next = 0; next < queue.size() && tree.keys < keyCount; ++next) {
        for (int child = 0; child < kChildrenPerKey && tree.keys < keyCount; ++child) {
            const std::string path = queue[next] + "\\Entry" + std::to_string(child);
            HKEY key = nullptr;
            if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr) != ERROR_SUCCESS)
                continue;
            WriteKeyValues(key, tree.keys, fileFolder);
            ::RegCloseKey(key);
            queue.push_back(path);
            ++tree.keys;
            tree.values += kValuesPerKey;
        }
    }
    return tree;
}

// The least a walk can do: every subkey and every value of the subtree, enumerated once.
unsigned BareWalk(HKEY key)
{
    unsigned values = 0;
    char name[1024];
    BYTE data[4096];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name), type = 0, dataLength = sizeof(data);
        if (::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
            break;
        ++values;
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name);
        if (::RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (::RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            values += BareWalk(child);
            ::RegCloseKey(child);
        }
    }
    return values;
}

std::string MakeFileFolder()
{
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "kelvara_scan_bench";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    // The present files get a folder of their own: the missing ones then lie beside one entry.
    ::CreateDirectoryA((folder + "\\present").c_str(), nullptr);
    for (int i = 0; i < kPresentFiles; ++i) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof(path), "%s\\present\\file%03d.dll", folder.c_str(), i);
        HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    }
    return folder;
}

void RemoveFileFolder(const std::string& folder)
{
    for (int i = 0; i < kPresentFiles; ++i) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof(path), "%s\\present\\file%03d.dll", folder.c_str(), i);
        ::DeleteFileA(path);
    }
    ::RemoveDirectoryA((folder + "\\present").c_str());
    ::RemoveDirectoryA(folder.c_str());
}

int MeasureLongRunValues()
{
    const std::string key = std::string(kBenchKey) + "\\Run";
    std::printf("%-34s %10s %10s %8s\n", "Run value", "bytes", "seconds", "findings");
    for (size_t repeats : {62500u, 125000u, 250000u, 500000u}) {
        std::string text;
        for (size_t i = 0; i < repeats; ++i)
            text += ".exe";
        ::SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        HKEY run = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &run, nullptr) !=
            ERROR_SUCCESS)
            return 1;
        ::RegSetValueExA(run, "Repeated", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
        ::RegCloseKey(run);
        CBenchProcess process;
        CCountingStatus status;
        const double begin = Seconds();
        process.CheckRunKey(&status, key.c_str());
        std::printf("%-34s %10u %10.4f %8u\n", "\".exe\" repeated", static_cast<unsigned>(text.size()),
                    Seconds() - begin, status.items);
        std::fflush(stdout);
    }
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kBenchKey);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--full") == 0)
        return full_scan::Run(argc > 2 && std::strcmp(argv[2], "--list") == 0);
    if (argc > 1 && std::strcmp(argv[1], "--long-values") == 0)
        return MeasureLongRunValues();
    const unsigned baseKeys = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 1000;
    if (baseKeys == 0) {
        std::fprintf(stderr, "usage: scan_bench [keys]\n");
        return 2;
    }
    const std::string fileFolder = MakeFileFolder();
    std::printf("%-6s %8s %8s | %12s %12s | %12s %12s | %6s %8s\n", "scale", "keys", "values", "bare keys/s",
                "bare vals/s", "scan keys/s", "scan vals/s", "ratio", "findings");

    for (unsigned scale : {1u, 4u, 16u}) {
        const Subtree tree = BuildSubtree("x" + std::to_string(scale), baseKeys * scale, fileFolder);

        HKEY start = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, tree.key.c_str(), 0, KEY_READ, &start) != ERROR_SUCCESS) {
            std::fprintf(stderr, "cannot open %s\n", tree.key.c_str());
            return 1;
        }
        // Best of several alternating rounds, so that load from other programs weighs on
        // both walks alike.
        double bare = 1e9, scan = 1e9;
        unsigned bareValues = 0;
        CCountingStatus status;
        for (int round = 0; round < kRounds; ++round) {
            double begin = Seconds();
            bareValues = BareWalk(start);
            bare = std::min(bare, Seconds() - begin);

            CBenchProcess process;
            status.items = 0;
            begin = Seconds();
            process.WalkFileReferences(&status, tree.key.c_str());
            scan = std::min(scan, Seconds() - begin);
        }
        ::RegCloseKey(start);

        std::printf("%-6u %8u %8u | %12.0f %12.0f | %12.0f %12.0f | %6.2f %8u\n", scale, tree.keys, bareValues,
                    tree.keys / bare, bareValues / bare, tree.keys / scan, tree.values / scan, scan / bare,
                    status.items);
        std::fflush(stdout);
    }
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kBenchKey);
    RemoveFileFolder(fileFolder);
    return 0;
}
