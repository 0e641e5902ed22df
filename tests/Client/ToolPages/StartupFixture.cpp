#include "StartupFixture.h"

#include <shlobj.h>

#include "ComPointer.h"

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kRegStoreKey[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
const char kFolderStoreKey[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupfolder";

bool CreateShortcut(const std::string& path, const std::string& target)
{
    CComPointer<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.ReceiveVoid())))
        return false;
    link->SetPath(target.c_str());
    CComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())))
        return false;
    wchar_t wide[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    return SUCCEEDED(file->Save(wide, TRUE));
}

namespace {

void CollectFiles(const std::string& folder, const std::string& relative, std::map<std::string, std::string>* files)
{
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectFiles(path, relative + name + "\\", files);
        else
            (*files)[relative + name] = ReadWholeFile(path);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
}

} // namespace

std::map<std::string, std::string> FolderContents(const std::string& folder)
{
    std::map<std::string, std::string> files;
    CollectFiles(folder, "", &files);
    return files;
}

CStartupWorld::CStartupWorld()
{
    m_folders.user = m_folder.MakeFolder("Startup").c_str();
    m_folders.common = m_folder.MakeFolder("Common Startup").c_str();
    m_folders.backup = (m_folder.PathOf("pss") + "\\").c_str();
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
