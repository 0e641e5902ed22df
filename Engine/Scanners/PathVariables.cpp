#include "PathVariables.h"

#include <shlobj.h>

#include "Wow64.h"

namespace {

// How a token's folder is found.
enum TOKEN_SOURCE { FROM_SHELL_FOLDER, FROM_SYSTEM_DRIVE, FROM_LOCAL_SETTINGS, FROM_TEMP_FOLDER };

struct PathToken {
    const char* token;
    TOKEN_SOURCE source;
    int csidl;
};

// Tested in this order; the first token that a text holds is the only one replaced.
const PathToken kTokens[] = {
    {"%SystemDrive%", FROM_SYSTEM_DRIVE, CSIDL_WINDOWS},
    {"%LocalSettings%", FROM_LOCAL_SETTINGS, 0},
    {"%WinDir%", FROM_SHELL_FOLDER, CSIDL_WINDOWS},
    {"%SystemRoot%", FROM_SHELL_FOLDER, CSIDL_WINDOWS},
    {"%SystemDir%", FROM_SHELL_FOLDER, CSIDL_SYSTEM},
    {"%CommonProgramFiles%", FROM_SHELL_FOLDER, CSIDL_PROGRAM_FILES_COMMON},
    {"%CommonProgramFiles(x86)%", FROM_SHELL_FOLDER, CSIDL_PROGRAM_FILES_COMMONX86},
    {"%ProgramFiles%", FROM_SHELL_FOLDER, CSIDL_PROGRAM_FILES},
    {"%ProgramFiles(x86)%", FROM_SHELL_FOLDER, CSIDL_PROGRAM_FILESX86},
    {"%UserProfile%", FROM_SHELL_FOLDER, CSIDL_PROFILE},
    {"%AppData%", FROM_SHELL_FOLDER, CSIDL_APPDATA},
    {"%InternetCache%", FROM_SHELL_FOLDER, CSIDL_INTERNET_CACHE},
    {"%CDBurnArea%", FROM_SHELL_FOLDER, CSIDL_CDBURN_AREA},
    {"%CommonAdminTools%", FROM_SHELL_FOLDER, CSIDL_COMMON_ADMINTOOLS},
    {"%CommonAppData%", FROM_SHELL_FOLDER, CSIDL_COMMON_APPDATA},
    {"%CommonDesktopDirectory%", FROM_SHELL_FOLDER, CSIDL_COMMON_DESKTOPDIRECTORY},
    {"%CommonDocuments%", FROM_SHELL_FOLDER, CSIDL_COMMON_DOCUMENTS},
    {"%CommonFavorites%", FROM_SHELL_FOLDER, CSIDL_COMMON_FAVORITES},
    {"%CommonMusic%", FROM_SHELL_FOLDER, CSIDL_COMMON_MUSIC},
    {"%CommonPictures%", FROM_SHELL_FOLDER, CSIDL_COMMON_PICTURES},
    {"%CommonPrograms%", FROM_SHELL_FOLDER, CSIDL_COMMON_PROGRAMS},
    {"%CommonStartMenu%", FROM_SHELL_FOLDER, CSIDL_COMMON_STARTMENU},
    {"%CommonStartup%", FROM_SHELL_FOLDER, CSIDL_COMMON_STARTUP},
    {"%CommonTemplates%", FROM_SHELL_FOLDER, CSIDL_COMMON_TEMPLATES},
    {"%CommonVideo%", FROM_SHELL_FOLDER, CSIDL_COMMON_VIDEO},
    {"%Cookies%", FROM_SHELL_FOLDER, CSIDL_COOKIES},
    {"%DesktopDirectory%", FROM_SHELL_FOLDER, CSIDL_DESKTOPDIRECTORY},
    {"%Favorites%", FROM_SHELL_FOLDER, CSIDL_FAVORITES},
    {"%History%", FROM_SHELL_FOLDER, CSIDL_HISTORY},
    {"%LocalAppData%", FROM_SHELL_FOLDER, CSIDL_LOCAL_APPDATA},
    {"%MyMusic%", FROM_SHELL_FOLDER, CSIDL_MYMUSIC},
    {"%MyPictures%", FROM_SHELL_FOLDER, CSIDL_MYPICTURES},
    {"%MyVideo%", FROM_SHELL_FOLDER, CSIDL_MYVIDEO},
    {"%NetHood%", FROM_SHELL_FOLDER, CSIDL_NETHOOD},
    {"%Personal%", FROM_SHELL_FOLDER, CSIDL_PERSONAL},
    {"%PrintHood%", FROM_SHELL_FOLDER, CSIDL_PRINTHOOD},
    {"%Programs%", FROM_SHELL_FOLDER, CSIDL_PROGRAMS},
    {"%Recent%", FROM_SHELL_FOLDER, CSIDL_RECENT},
    {"%SendTo%", FROM_SHELL_FOLDER, CSIDL_SENDTO},
    {"%StartMenu%", FROM_SHELL_FOLDER, CSIDL_STARTMENU},
    {"%StartMenuPrograms%", FROM_SHELL_FOLDER, CSIDL_STARTMENU},
    {"%Startup%", FROM_SHELL_FOLDER, CSIDL_STARTUP},
    {"%Temp%", FROM_TEMP_FOLDER, 0},
    {"%Templates%", FROM_SHELL_FOLDER, CSIDL_TEMPLATES},
    {"%AdminTools%", FROM_SHELL_FOLDER, CSIDL_ADMINTOOLS},
};

const int kTokenCount = static_cast<int>(sizeof(kTokens) / sizeof(kTokens[0]));
const int kShortestExpandedText = 8;
const char kTempSuffix[] = "\\temp\\";

std::vector<CString> LowerCaseTokens()
{
    std::vector<CString> tokens;
    for (const PathToken& token : kTokens)
        tokens.push_back(CString(token.token).MakeLower());
    return tokens;
}

const std::vector<CString>& LowerTokens()
{
    static const std::vector<CString> tokens = LowerCaseTokens();
    return tokens;
}

CString TempFolder()
{
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(MAX_PATH, buffer);
    return length > 0 && length <= MAX_PATH ? CString(buffer) : CString();
}

} // namespace

BOOL GetShellFolder(int csidl, CString* folder)
{
    char buffer[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer)) || !buffer[0])
        return FALSE;
    if (folder)
        *folder = buffer;
    return TRUE;
}

CPathVariables::CPathVariables()
{
    Reset();
}

void CPathVariables::Reset()
{
    m_cache.assign(kTokenCount, CachedFolder());
    m_wow64 = CWow64::IsWow64();
}

int CPathVariables::TokenCount()
{
    return kTokenCount;
}

const char* CPathVariables::Token(int index)
{
    return index >= 0 && index < kTokenCount ? kTokens[index].token : "";
}

CString CPathVariables::LocalSettingsFolder(const CString& tempFolder, const CString& localAppDataFolder)
{
    const int suffixLength = static_cast<int>(sizeof(kTempSuffix) - 1);
    if (tempFolder.GetLength() > suffixLength && CString(tempFolder.Right(suffixLength)).MakeLower() == kTempSuffix)
        return tempFolder.Left(tempFolder.GetLength() - suffixLength);
    // Older layouts keep local application data in "Local Settings\Application Data".
    CString folder(localAppDataFolder);
    folder.TrimRight('\\');
    const int lastSlash = folder.ReverseFind('\\');
    if (lastSlash > 0 && CString(folder.Mid(lastSlash + 1)).MakeLower() == "application data")
        folder = folder.Left(lastSlash);
    return folder;
}

BOOL CPathVariables::Replacement(int index, CString* folder)
{
    CachedFolder& cached = m_cache[index];
    if (!cached.queried) {
        cached.queried = true;
        const PathToken& token = kTokens[index];
        switch (token.source) {
        case FROM_SHELL_FOLDER:
            cached.found = GetShellFolder(token.csidl, &cached.folder) != FALSE;
            break;
        case FROM_SYSTEM_DRIVE:
            cached.found = GetShellFolder(token.csidl, &cached.folder) && cached.folder.GetLength() >= 2;
            cached.folder = cached.folder.Left(2);
            break;
        case FROM_LOCAL_SETTINGS: {
            CString localAppData;
            GetShellFolder(CSIDL_LOCAL_APPDATA, &localAppData);
            cached.folder = LocalSettingsFolder(TempFolder(), localAppData);
            cached.found = !cached.folder.IsEmpty();
            break;
        }
        case FROM_TEMP_FOLDER:
            cached.folder = TempFolder();
            cached.found = !cached.folder.IsEmpty();
            break;
        }
    }
    if (cached.found && folder)
        *folder = cached.folder;
    return cached.found ? TRUE : FALSE;
}

BOOL CPathVariables::Expand(CString& text)
{
    text.MakeLower();
    // Every token holds a percent sign: a text without one has nothing to replace.
    if (text.GetLength() < kShortestExpandedText || text.Find('%') < 0)
        return FALSE;
    const std::vector<CString>& tokens = LowerTokens();
    for (int index = 0; index < kTokenCount; ++index) {
        if (text.Find(tokens[index]) < 0)
            continue;
        CString folder;
        if (!Replacement(index, &folder))
            return FALSE;
        const int replaced = text.Replace(tokens[index], folder);
        const int csidl = kTokens[index].source == FROM_SHELL_FOLDER ? kTokens[index].csidl : 0;
        if (m_wow64 && csidl) {
            text.MakeLower();
            if (csidl == CSIDL_SYSTEM)
                text.Replace("syswow64", "system32");
            else if (csidl == CSIDL_PROGRAM_FILES || csidl == CSIDL_PROGRAM_FILES_COMMON)
                text.Replace("program files (x86)", "program files");
        }
        return replaced > 0 ? TRUE : FALSE;
    }
    return FALSE;
}

BOOL CPathVariables::ExpandEnvironment(CString& text)
{
    if (text.Find('%') < 0)
        return FALSE;
    const DWORD needed = ::ExpandEnvironmentStringsA(text, nullptr, 0);
    if (!needed)
        return FALSE;
    std::vector<char> buffer(needed + 1, '\0');
    const DWORD written = ::ExpandEnvironmentStringsA(text, buffer.data(), needed);
    if (!written || written > needed)
        return FALSE;
    const CString expanded(buffer.data());
    if (expanded == text)
        return FALSE;
    text = expanded;
    return TRUE;
}
