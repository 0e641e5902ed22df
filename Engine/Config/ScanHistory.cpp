#include "ScanHistory.h"

#include <new>

#include "Database/XmlNoCase.h"
#include "Utf8Text.h"

CScanHistory::CScanHistory()
{
}

CScanHistory::~CScanHistory()
{
}

int CScanHistory::Create(const char* fileName)
{
    m_document.Clear();
    m_items.clear();
    m_document.SetValue(fileName ? fileName : "");
    TiXmlDeclaration* declaration = new (std::nothrow) TiXmlDeclaration("1.0", "UTF-8", "yes");
    TiXmlElement* root = new (std::nothrow) TiXmlElement("ScanHistory");
    if (!declaration || !root) {
        delete declaration;
        delete root;
        return 0;
    }
    m_document.LinkEndChild(declaration);
    m_document.LinkEndChild(root);
    return 1;
}

void CScanHistory::AddItem(const _SCAN_HISTORY_ITEM& item)
{
    TiXmlElement* root = m_document.RootElement();
    if (!root)
        return;
    TiXmlElement* element = new TiXmlElement("ScanItem");
    element->SetAttribute("Title", AnsiToUtf8(item.Title));
    element->SetAttribute("ItemPath", AnsiToUtf8(item.ItemPath));
    element->SetAttribute("DateTime", AnsiToUtf8(item.DateTime));
    element->SetAttribute("Type", static_cast<int>(item.Type));
    element->SetAttribute("Status", static_cast<int>(item.Status));
    root->LinkEndChild(element);
}

void CScanHistory::AddItem(const char* title, long type, const char* itemPath, const char* dateTime, long status)
{
    _SCAN_HISTORY_ITEM item;
    item.Title = title;
    item.Type = type;
    item.ItemPath = itemPath;
    item.DateTime = dateTime;
    item.Status = status;
    AddItem(item);
}

std::vector<_SCAN_HISTORY_ITEM>* CScanHistory::GetItems()
{
    m_items.clear();
    TiXmlElement* root = m_document.RootElement();
    if (!root)
        return nullptr;
    for (const TiXmlElement* element = root->FirstChildElement(); element; element = element->NextSiblingElement()) {
        _SCAN_HISTORY_ITEM item;
        item.Title = Utf8ToAnsi(FindAttributeNoCase(element, "Title"));
        item.ItemPath = Utf8ToAnsi(FindAttributeNoCase(element, "ItemPath"));
        item.DateTime = Utf8ToAnsi(FindAttributeNoCase(element, "DateTime"));
        item.Type = AttributeNumber(element, "Type");
        item.Status = AttributeNumber(element, "Status");
        m_items.push_back(item);
    }
    return &m_items;
}
