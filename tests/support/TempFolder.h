// A fresh folder under the temporary path, removed with everything in it at the end of a test.
// Its path is one the narrow calls open: the short name of a temporary folder whose name the
// code page cannot spell.
#pragma once

#include <string>

class CTempFolder
{
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, without a trailing backslash.
    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& relative) const { return m_path + "\\" + relative; }
    // Writes a file (creating its folders); returns its full path.
    std::string WriteFile(const std::string& relative, const std::string& contents) const;
    std::string MakeFolder(const std::string& relative) const;

private:
    std::string m_path;
};

std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);
bool RemoveFolderTree(const std::string& path);
