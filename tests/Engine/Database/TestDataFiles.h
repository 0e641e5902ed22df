// Helpers of the database tests: enciphered files made from plain text with the engine's own
// cipher, database documents, and a private temporary folder.
#pragma once

#include <string>

#include "TempFolder.h"

// Enciphers plain into path.
void WriteEncipheredFile(const std::string& path, const std::string& plain);
// The deciphered contents of path; empty when it cannot be deciphered.
std::string ReadDecipheredFile(const std::string& path);
// The bytes of plain once enciphered, as a site serves a patch or a database.
std::string EncipheredText(const std::string& plain);

// A database document with the given "UpdateInfo" attributes and section contents.
std::string DatabaseXml(const std::string& updateInfoAttributes, const std::string& spywares,
                        const std::string& signatures);

// Points TMP and TEMP at a fresh folder for the life of the object, so that a test can see every
// temporary file the engine leaves behind.
class CPrivateTempPath
{
public:
    CPrivateTempPath();
    ~CPrivateTempPath();
    const std::string& Path() const { return m_folder.Path(); }
    // Temporary files of the engine ("spr*") in the folder.
    int EngineTempFileCount() const;

private:
    CTempFolder m_folder;
    std::string m_oldTmp;
    std::string m_oldTemp;
};
