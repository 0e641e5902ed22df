// CWhiteList: "WhileList.dat" beside the program, text records ended by ";". A finding whose
// lower-cased text contains a record is dropped. The file is read once per scan.
#pragma once

#include <vector>

#include "Afx.h"

class CWhiteList
{
public:
    // Reads the file (created empty when missing); an unreadable file gives an empty list.
    void Load(const CString& path);
    // Parses the file's text: records up to the first empty one; a record without its ";" is
    // not used.
    void Parse(const CString& text);
    BOOL IsListed(const CString& item) const;
    size_t GetCount() const { return m_records.size(); }
    // The records in file order, lower-cased and trimmed.
    const std::vector<CString>& GetRecords() const { return m_records; }

private:
    std::vector<CString> m_records;
};
