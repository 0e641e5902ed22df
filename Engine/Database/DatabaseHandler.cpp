#include "DatabaseHandler.h"

#include "Spyware.h"

#include <tinyxml.h>

#include "DataFileCipher.h"
#include "TempDataFile.h"
#include "XmlNesting.h"
#include "XmlNoCase.h"

namespace {

// The part of an MD5 text that the file-hash table keys on: characters 2 to 20.
CString FileHashKey(const CString& digest)
{
    return digest.GetLength() > 1 ? digest.Mid(1, 19) : CString();
}

CString Lower(CString text)
{
    return text.MakeLower();
}

_SPYWARE_INFORMATION ReadSpyware(const TiXmlElement* element)
{
    _SPYWARE_INFORMATION record;
    record.ID = AttributeNumber(element, "ID");
    record.Name = AttributeText(element, "Name");
    record.Details = AttributeText(element, "Details");
    record.Type = AttributeNumber(element, "Type");
    if (const TiXmlElement* itemList = element->FirstChildElement()) {
        for (const TiXmlElement* item = itemList->FirstChildElement(); item; item = item->NextSiblingElement()) {
            _SPYWARE_ITEM entry;
            entry.Value = AttributeText(item, "Value");
            entry.Type = static_cast<int>(AttributeNumber(item, "Type"));
            record.Items.push_back(entry);
        }
    }
    return record;
}

bool Lookup(const std::map<CString, long>& table, const CString& key, long* spywareId)
{
    const auto found = table.find(key);
    if (found == table.end())
        return false;
    if (spywareId)
        *spywareId = found->second;
    return true;
}

} // namespace

// Fills a handler from a parsed document.
class CDatabaseReader
{
public:
    explicit CDatabaseReader(CDatabaseHandler& handler) : m_handler(handler) {}

    void ReadSpywares(const TiXmlElement* section)
    {
        if (!section)
            return;
        for (const TiXmlElement* element = section->FirstChildElement(); element;
             element = element->NextSiblingElement()) {
            _SPYWARE_INFORMATION record = ReadSpyware(element);
            m_handler.m_spywares.emplace(record.ID, std::move(record));
        }
    }

    bool ReadSignatures(const TiXmlElement* section)
    {
        if (!section)
            return false;
        for (const TiXmlElement* element = section->FirstChildElement(); element;
             element = element->NextSiblingElement())
            AddSignature(AttributeNumber(element, "Type"), AttributeText(element, "Value"),
                         AttributeNumber(element, "SpywareID"));
        return true;
    }

private:
    void AddSignature(long type, const CString& value, long spywareId)
    {
        if (type & SIGNATURE_EXACT)
            m_handler.m_exact.emplace(value, spywareId);
        else if (type & SIGNATURE_FILE_HASH)
            m_handler.m_fileHash.emplace(
                Lower(type == SIGNATURE_FILE_HASH && value.GetLength() >= 20 ? FileHashKey(value) : value),
                spywareId);
        else
            m_handler.m_text.emplace(Lower(value), spywareId);
    }

    CDatabaseHandler& m_handler;
};

CDatabaseHandler::CDatabaseHandler(const CString& fileName) : m_fileName(fileName) {}

CDatabaseHandler::~CDatabaseHandler() = default;

CDatabaseHandler* CDatabaseHandler::LoadFromDataFile(const char* dataFile)
{
    CTempDataFile plain;
    if (!plain.IsValid() || !DecryptDataFile(dataFile, plain.Path()))
        return nullptr;
    CDatabaseHandler* handler = new CDatabaseHandler(plain.Path());
    if (!handler->LoadDatabase()) {
        delete handler;
        return nullptr;
    }
    return handler;
}

int CDatabaseHandler::LoadDatabase()
{
    if (m_loaded)
        return 1;
    if (m_fileName.IsEmpty())
        return 0;
    TiXmlDocument document;
    if (!LoadXmlFile(&document, m_fileName))
        return 0;
    const TiXmlElement* root = document.RootElement();
    if (!root)
        return 0;
    const TiXmlElement* updateInfo = FirstChildElementNoCase(root, "UpdateInfo");
    m_version = AttributeText(updateInfo, "Version");
    m_lastUpdateDate = AttributeText(updateInfo, "LastUpdateDate");
    CDatabaseReader reader(*this);
    reader.ReadSpywares(FirstChildElementNoCase(root, "Spywares"));
    m_loaded = reader.ReadSignatures(FirstChildElementNoCase(root, "Signatures")) ? 1 : 0;
    return m_loaded;
}

int CDatabaseHandler::FindSignature(_SIGNATURE_QUERY query, long* spywareId) const
{
    const bool exact = (query.Flags & SIGNATURE_EXACT) != 0;
    const bool fileHash = (query.Flags & SIGNATURE_FILE_HASH) != 0;
    bool found;
    if (exact && fileHash)
        found = Lookup(m_exact, query.Value, spywareId) || Lookup(m_fileHash, FileHashKey(query.Hash), spywareId);
    else if (exact)
        found = Lookup(m_exact, Lower(query.Value), spywareId);
    else if (fileHash)
        found = Lookup(m_fileHash, FileHashKey(query.Hash), spywareId);
    else
        found = Lookup(m_text, Lower(query.Text), spywareId);
    return found ? 1 : 0;
}

const _SPYWARE_INFORMATION* CDatabaseHandler::FindSpyware(long id) const
{
    const auto found = m_spywares.find(id);
    return found == m_spywares.end() ? nullptr : &found->second;
}

int CDatabaseHandler::GetSpywareInformation(long id, CSpyware* out) const
{
    const _SPYWARE_INFORMATION* record = FindSpyware(id);
    if (!record || !out)
        return 0;
    out->SetInformation(*record);
    return 1;
}
