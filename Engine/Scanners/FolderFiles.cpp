#include "FolderFiles.h"

#include <vector>

namespace {

using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// GetFinalPathNameByHandleA arrived with Windows Vista: bound at run time, so that the engine
// still loads on XP.
FinalPathFn FinalPathFunction()
{
    static const FinalPathFn function = [] {
        HMODULE kernel = ::GetModuleHandleA("kernel32");
        return kernel ? reinterpret_cast<FinalPathFn>(
                            reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFinalPathNameByHandleA")))
                      : nullptr;
    }();
    return function;
}

const DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kLink = FILE_ATTRIBUTE_REPARSE_POINT;

class CFileHandle
{
public:
    explicit CFileHandle(HANDLE handle) : m_handle(handle) {}
    ~CFileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    HANDLE Get() const { return m_handle; }
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// The final path of an open file or folder in the form of a plain path ("C:\dir\file",
// "\\server\share\file"); empty when the system cannot tell it.
CString FinalPathOf(HANDLE handle)
{
    const FinalPathFn finalPath = FinalPathFunction();
    if (!finalPath)
        return CString();
    std::vector<char> buffer(MAX_PATH + 1, '\0');
    DWORD length = finalPath(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length >= buffer.size()) {
        buffer.assign(static_cast<size_t>(length) + 1, '\0');
        length = finalPath(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    }
    if (length == 0 || length >= buffer.size())
        return CString();
    CString path(buffer.data());
    if (path.Left(8).CompareNoCase("\\\\?\\UNC\\") == 0)
        return "\\\\" + path.Mid(8);
    if (path.Left(4) == "\\\\?\\")
        return path.Mid(4);
    return path;
}

CString FinalPathOfFolder(const CString& folder)
{
    // Backup semantics let a folder be opened; the folder itself may be a link (a Temp folder
    // moved to another drive): its final path is where its files truly are.
    CFileHandle opened(::CreateFileA(folder, FILE_READ_ATTRIBUTES, kAnyShare, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return opened.IsOpen() ? FinalPathOf(opened.Get()) : CString();
}

bool IsDotName(const CString& name)
{
    return name == "." || name == "..";
}

} // namespace

CFolderFiles::CFolderFiles(const CString& folder) : m_finalPaths(FinalPathFunction() != nullptr)
{
    m_folder = folder;
    m_folder.Trim();
    // A drive root keeps its backslash in NormalizedPathKey; here the names below it follow one.
    m_folder.TrimRight('\\');
    if (m_finalPaths && !m_folder.IsEmpty()) {
        m_finalFolder = FinalPathOfFolder(m_folder + "\\");
        m_finalFolder.TrimRight('\\');
    }
}

bool CFolderFiles::Contains(const CString& path, CString* relative) const
{
    if (m_folder.IsEmpty() || path.GetLength() <= m_folder.GetLength() + 1 || path[m_folder.GetLength()] != '\\' ||
        path.Left(m_folder.GetLength()).CompareNoCase(m_folder) != 0)
        return false;
    const CString below = path.Mid(m_folder.GetLength() + 1);
    // Every name below the folder is a real one: no empty, "." or ".." part, no second root.
    int start = 0;
    while (start <= below.GetLength()) {
        int end = below.Find('\\', start);
        if (end < 0)
            end = below.GetLength();
        const CString name = below.Mid(start, end - start);
        if (name.IsEmpty() || IsDotName(name) || name.FindOneOf(":/*?\"<>|") >= 0)
            return false;
        start = end + 1;
    }
    if (relative)
        *relative = below;
    return true;
}

bool CFolderFiles::Holds(const CString& path) const
{
    if (!Contains(path))
        return false;
    // Read-attributes access only: opening a file does not follow a reparse point with this flag
    // (Windows), and Wine follows its links whatever the flags; the final path tells.
    CFileHandle opened(::CreateFileA(path, FILE_READ_ATTRIBUTES, kAnyShare, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return opened.IsOpen() && HoldsOpened(opened.Get(), path);
}

bool CFolderFiles::HoldsOpened(HANDLE file, const CString& path) const
{
    CString relative;
    if (!Contains(path, &relative))
        return false;
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | kLink)))
        return false;
    if (!m_finalPaths)
        return HasNoLinkBelow(relative);
    if (m_finalFolder.IsEmpty())
        return false;
    const CString finalPath = FinalPathOf(file);
    return !finalPath.IsEmpty() && finalPath.CompareNoCase(m_finalFolder + "\\" + relative) == 0;
}

bool CFolderFiles::HasNoLinkBelow(const CString& relative) const
{
    for (int slash = relative.Find('\\'); slash >= 0; slash = relative.Find('\\', slash + 1)) {
        const DWORD attributes = ::GetFileAttributesA(m_folder + "\\" + relative.Left(slash));
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & kLink))
            return false;
    }
    return true;
}
