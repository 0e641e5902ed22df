#include "StartupFixture.h"

#include <shlobj.h>

#include "ComPointer.h"

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kRegStoreKey[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
const char kFolderStoreKey[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupfolder";

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow(text.size() * 2 + 1, '\0');
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], static_cast<int>(narrow.size()),
                                             nullptr, nullptr);
    narrow.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    return narrow;
}

bool CreateShortcut(const std::wstring& path, const std::wstring& target)
{
    CComPointer<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid())))
        return false;
    link->SetPath(target.c_str());
    CComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())))
        return false;
    return SUCCEEDED(file->Save(path.c_str(), TRUE));
}

std::string ReadWholeFileW(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string contents;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
        contents.append(buffer, read);
    ::CloseHandle(file);
    return contents;
}

bool FileExistsW(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

template <class F>
void ForEachBelow(const std::wstring& folder, const std::wstring& relative, F each)
{
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ForEachBelow(path, relative + name + L"\\", each);
        else
            each(path, relative + name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

} // namespace

std::map<std::wstring, std::string> FolderContents(const std::wstring& folder)
{
    std::map<std::wstring, std::string> files;
    ForEachBelow(folder, L"", [&files](const std::wstring& path, const std::wstring& relative) {
        files[relative] = ReadWholeFileW(path);
    });
    return files;
}

void RemoveFilesBelow(const std::wstring& folder)
{
    ForEachBelow(folder, L"", [](const std::wstring& path, const std::wstring&) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
    });
}

STARTUP_FOLDERS StartupFoldersIn(const CTempFolder& folder)
{
    STARTUP_FOLDERS folders;
    folders.user = Wide(folder.MakeFolder("Startup"));
    folders.common = Wide(folder.MakeFolder("Common Startup"));
    folders.backup = Wide(folder.PathOf("pss")) + L"\\";
    return folders;
}

CStartupWorld::CStartupWorld() : m_folders(StartupFoldersIn(m_folder))
{
}

CStartupWorld::~CStartupWorld()
{
    RemoveFilesBelow(Wide(m_folder.Path()));
}

RegistrySnapshot CStartupWorld::RegistryNow() const
{
    RegistrySnapshot all;
    for (HKEY root : { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE }) {
        RegistrySnapshot part;
        TakeSnapshot(root, L"Software", &part);
        for (const auto& key : part)
            all[(root == HKEY_CURRENT_USER ? L"HKCU\\" : L"HKLM\\") + key.first] = key.second;
    }
    return all;
}
