#include "LeftBehind.h"

#include <windows.h>

#include <algorithm>

namespace {

// The path and everything below it that exists.
void AddTree(const std::string& path, std::set<std::string>* entries)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    entries->insert(path);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            AddTree(path + "\\" + name, entries);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

} // namespace

CLeftBehind::CLeftBehind(const std::vector<std::string>& paths) : m_paths(paths)
{
    for (const std::string& path : m_paths)
        AddTree(path, &m_found);
}

CLeftBehind::~CLeftBehind()
{
    std::set<std::string> now;
    for (const std::string& path : m_paths)
        AddTree(path, &now);
    std::vector<std::string> added;
    for (const std::string& entry : now) {
        if (!m_found.count(entry))
            added.push_back(entry);
    }
    // What lies deeper goes first, so that each new folder is empty when its turn comes.
    std::sort(added.begin(), added.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& entry : added) {
        const DWORD attributes = ::GetFileAttributesA(entry.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            ::RemoveDirectoryA(entry.c_str());
        } else {
            ::SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(entry.c_str());
        }
    }
}

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    const std::string module = path;
    return module.substr(0, module.rfind('\\'));
}
