#include "TempFolder.h"

#include <windows.h>
#include <atomic>
#include <fstream>
#include <sstream>

namespace {

std::atomic<int> g_folderCounter{0};

// The name the narrow calls of the tests (and of the program under test) open the folder by: its
// own name when the code page spells it, else its short name.
std::string NarrowNameOf(const std::wstring& path)
{
    BOOL lossy = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
    std::wstring spelled = path;
    if (lossy || length <= 0) {
        wchar_t shortName[MAX_PATH + 1] = {};
        const DWORD shortLength = ::GetShortPathNameW(path.c_str(), shortName, MAX_PATH);
        if (shortLength == 0 || shortLength > MAX_PATH)
            return std::string();
        spelled = shortName;
    }
    char narrow[MAX_PATH * 2] = {};
    ::WideCharToMultiByte(CP_ACP, 0, spelled.c_str(), -1, narrow, sizeof(narrow), nullptr, nullptr);
    return narrow;
}

void MakeParents(const std::string& path)
{
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
}

} // namespace

CTempFolder::CTempFolder()
{
    // Made with the wide calls: the temporary folder's name may hold letters that the code page
    // cannot spell, which the narrow ones would turn into question marks.
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"kelvara_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_"
                              + std::to_wstring(g_folderCounter.fetch_add(1));
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        RemoveFolderTree(NarrowNameOf(path));
    ::CreateDirectoryW(path.c_str(), nullptr);
    m_path = NarrowNameOf(path);
}

CTempFolder::~CTempFolder()
{
    RemoveFolderTree(m_path);
}

std::string CTempFolder::WriteFile(const std::string& relative, const std::string& contents) const
{
    const std::string path = PathOf(relative);
    MakeParents(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return path;
}

std::string CTempFolder::MakeFolder(const std::string& relative) const
{
    const std::string path = PathOf(relative);
    MakeParents(path + "\\");
    return path;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFolderTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveFolderTree(child);
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    return ::RemoveDirectoryA(path.c_str()) != FALSE;
}
