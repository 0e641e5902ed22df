// A stand-in for the program's installer, which the update tests serve for download. When it runs
// it records its own path and whether the process that started it still had the engine library
// loaded: "loaded", "released", or "gone" (that process had ended before it could be looked at).
// The record goes to the file named by KELVARA_STUB_RECORD, written whole under another name
// first so that a reader never sees half of it.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

namespace {

DWORD ParentProcessId()
{
    DWORD parent = 0;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == ::GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    }
    ::CloseHandle(snapshot);
    return parent;
}

const char* EngineStateOf(DWORD processId)
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId);
    if (!processId || snapshot == INVALID_HANDLE_VALUE)
        return "gone";
    const char* state = "released";
    MODULEENTRY32 module = {};
    module.dwSize = sizeof(module);
    for (BOOL more = ::Module32First(snapshot, &module); more; more = ::Module32Next(snapshot, &module)) {
        if (::lstrcmpiA(module.szModule, "engine.dll") == 0)
            state = "loaded";
    }
    ::CloseHandle(snapshot);
    return state;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char record[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("KELVARA_STUB_RECORD", record, sizeof(record));
    if (length == 0 || length >= sizeof(record))
        return 1;
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, sizeof(self));
    const std::string line = std::string(self) + "|" + EngineStateOf(ParentProcessId()) + "\n";

    const std::string part = std::string(record) + ".part";
    FILE* file = std::fopen(part.c_str(), "wb");
    if (!file)
        return 1;
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
    return ::MoveFileExA(part.c_str(), record, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
