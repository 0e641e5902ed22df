// scan_bench [keys]: the cost of the file-reference walk against a bare walk of the same
// registry subtree. Builds synthetic subtrees of keys, keys*4 and keys*16 keys (default 1000)
// under HKEY_CURRENT_USER\Software\KelvaraBench, each key with a file reference (half of them
// to missing files), a number, a plain text and a binary value; walks each once with
// RegEnumKeyEx + RegEnumValue only and once with the file-reference check, and prints keys/s,
// values/s and the ratio of the two times. Run it under Wine in a throwaway prefix.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "EngineProcess.h"

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
        m_status = status;
        m_running = 1;
        m_activityCounter = 3001;
        m_pathVariables.Reset();
        m_fileReferences.Reset();
        WalkRegistry("HKEY_CURRENT_USER", startKey, WALK_FILE_REFERENCES);
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

} // namespace

int main(int argc, char** argv)
{
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
