#include "SymbolicLink.h"

#include <windows.h>

namespace {

// Wine's own export: the Unix path of a DOS path (allocated on the process heap); absent on Windows.
using UnixNameFn = char*(CDECL*)(const wchar_t*);

UnixNameFn UnixNameFunction()
{
    HMODULE kernel = ::GetModuleHandleA("kernel32");
    return kernel ? reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")))
                  : nullptr;
}

std::string UnixPathOf(UnixNameFn unixName, const std::string& path)
{
    wchar_t wide[MAX_PATH] = {};
    if (!::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH))
        return std::string();
    char* found = unixName(wide);
    if (!found)
        return std::string();
    std::string unixPath(found);
    ::HeapFree(::GetProcessHeap(), 0, found);
    return unixPath;
}

// Runs a Unix shell command through Wine. Wine starts a Unix program without a process handle
// to wait on, so the command leaves a marker file beside `near` when it is done: "<near>.ok" or
// "<near>.failed". Waits for one at most 30 s; true when the command succeeded.
bool RunUnixCommand(UnixNameFn unixName, const std::string& command, const std::string& near)
{
    const std::string ok = near + ".ok", failed = near + ".failed";
    const std::string unixOk = UnixPathOf(unixName, ok), unixFailed = UnixPathOf(unixName, failed);
    if (unixOk.empty() || unixFailed.empty())
        return false;
    std::string commandLine = "/bin/sh -c \"(" + command + ") && touch '" + unixOk + "' || touch '" + unixFailed + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hThread)
        ::CloseHandle(process.hThread);
    if (process.hProcess)
        ::CloseHandle(process.hProcess);
    bool succeeded = false, ended = false;
    for (DWORD waited = 0; waited < 30000 && !ended; waited += 10) {
        succeeded = ::GetFileAttributesA(ok.c_str()) != INVALID_FILE_ATTRIBUTES;
        ended = succeeded || ::GetFileAttributesA(failed.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!ended)
            ::Sleep(10);
    }
    ::DeleteFileA(ok.c_str());
    ::DeleteFileA(failed.c_str());
    return succeeded;
}

} // namespace

bool MakeSymbolicLink(const std::string& link, const std::string& target, bool folder)
{
    if (const UnixNameFn unixName = UnixNameFunction()) {
        const std::string unixLink = UnixPathOf(unixName, link);
        const std::string unixTarget = UnixPathOf(unixName, target);
        return !unixLink.empty() && !unixTarget.empty() &&
               RunUnixCommand(unixName, "ln -s '" + unixTarget + "' '" + unixLink + "'", link);
    }
    using CreateLinkFn = BOOLEAN(WINAPI*)(const char*, const char*, DWORD);
    HMODULE kernel = ::GetModuleHandleA("kernel32");
    const auto createLink = kernel ? reinterpret_cast<CreateLinkFn>(
                                         reinterpret_cast<void*>(::GetProcAddress(kernel, "CreateSymbolicLinkA")))
                                   : nullptr;
    return createLink && createLink(link.c_str(), target.c_str(), folder ? 1 : 0);
}

bool RemoveSymbolicLink(const std::string& link, bool folder)
{
    if (const UnixNameFn unixName = UnixNameFunction()) {
        const std::string unixLink = UnixPathOf(unixName, link);
        return !unixLink.empty() && RunUnixCommand(unixName, "rm -f '" + unixLink + "'", link);
    }
    return folder ? ::RemoveDirectoryA(link.c_str()) != FALSE : ::DeleteFileA(link.c_str()) != FALSE;
}
