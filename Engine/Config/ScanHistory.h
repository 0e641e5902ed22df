// CScanHistory: a history of scanned items kept as a TinyXML document ("ScanHistory" with one
// "ScanItem" per entry), handed back as records.
#pragma once

#include <tinyxml.h>

#include <vector>

#include "AfxString.h"

struct _SCAN_HISTORY_ITEM {
    long Status = 0;
    CString Title;
    CString DateTime;
    CString ItemPath;
    long Type = 0;
};

class CScanHistory
{
public:
    CScanHistory();
    virtual ~CScanHistory();

    // Starts a new document named after the file, with its declaration and root; 0 when a node
    // cannot be made.
    int Create(const char* fileName);
    // Appends an entry under the document's root; nothing is stored before Create.
    void AddItem(const _SCAN_HISTORY_ITEM& item);
    void AddItem(const char* title, long type, const char* itemPath, const char* dateTime, long status);
    // Every entry of the document, in order; null when the document has no root.
    std::vector<_SCAN_HISTORY_ITEM>* GetItems();

private:
    TiXmlDocument m_document;
    std::vector<_SCAN_HISTORY_ITEM> m_items;
};
