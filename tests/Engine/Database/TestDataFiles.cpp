#include "TestDataFiles.h"

#include <windows.h>
#include <fstream>

#include "Database/DataFileCipher.h"

void WriteEncipheredFile(const std::string& path, const std::string& plain)
{
    const std::string plainPath = path + ".plain";
    {
        std::ofstream out(plainPath, std::ios::binary);
        out << plain;
    }
    EncryptDataFile(plainPath.c_str(), path.c_str());
    ::DeleteFileA(plainPath.c_str());
}

std::string ReadDecipheredFile(const std::string& path)
{
    const std::string plainPath = path + ".plain";
    std::string text;
    if (DecryptDataFile(path.c_str(), plainPath.c_str()))
        text = ReadWholeFile(plainPath);
    ::DeleteFileA(plainPath.c_str());
    return text;
}

std::string EncipheredText(const std::string& plain)
{
    CTempFolder folder;
    const std::string path = folder.PathOf("enciphered.dat");
    WriteEncipheredFile(path, plain);
    return ReadWholeFile(path);
}

std::string DatabaseXml(const std::string& updateInfoAttributes, const std::string& spywares,
                        const std::string& signatures)
{
    return "<?xml version=\"1.0\" ?>\n<Database>\n<UpdateInfo " + updateInfoAttributes + " />\n<Spywares>\n" + spywares
           + "</Spywares>\n<Signatures>\n" + signatures + "</Signatures>\n</Database>\n";
}

namespace {

std::string Variable(const char* name)
{
    char value[MAX_PATH + 1] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return length && length <= MAX_PATH ? std::string(value, length) : std::string();
}

} // namespace

CPrivateTempPath::CPrivateTempPath() : m_oldTmp(Variable("TMP")), m_oldTemp(Variable("TEMP"))
{
    ::SetEnvironmentVariableA("TMP", m_folder.Path().c_str());
    ::SetEnvironmentVariableA("TEMP", m_folder.Path().c_str());
}

CPrivateTempPath::~CPrivateTempPath()
{
    ::SetEnvironmentVariableA("TMP", m_oldTmp.empty() ? nullptr : m_oldTmp.c_str());
    ::SetEnvironmentVariableA("TEMP", m_oldTemp.empty() ? nullptr : m_oldTemp.c_str());
}

int CPrivateTempPath::EngineTempFileCount() const
{
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((m_folder.Path() + "\\spr*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        ++count;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return count;
}
