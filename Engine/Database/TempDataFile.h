// CTempDataFile: a file name made by GetTempFileNameA in the temporary folder (prefix "spr").
// The file is deleted when the object goes, on every path, so deciphered data never stays behind.
#pragma once

#include <windows.h>

#include "AfxString.h"

class CTempDataFile
{
public:
    CTempDataFile();
    ~CTempDataFile();
    CTempDataFile(const CTempDataFile&) = delete;
    CTempDataFile& operator=(const CTempDataFile&) = delete;

    // False when no temporary name could be made; Path() is then empty.
    bool IsValid() const { return !m_path.IsEmpty(); }
    const CString& Path() const { return m_path; }

    // Deletes the file now (also done by the destructor).
    void Delete();

private:
    CString m_path;
};
