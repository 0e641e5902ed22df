#include "ConfigHandler.h"

#include <new>

#include "Database/XmlNesting.h"
#include "Database/XmlNoCase.h"
#include "Utf8Text.h"

namespace {

const char kRoot[] = "Config";
const char kPaths[] = "CustomizePaths";
const char kPath[] = "CustomizePath";
const char kPathAttribute[] = "Path";
const char kPrograms[] = "StartupPrograms";
const char kProgram[] = "StartupProgram";

void SetText(TiXmlElement* element, const char* name, const CString& text)
{
    element->SetAttribute(name, AnsiToUtf8(text));
}

} // namespace

CConfigHandler::CConfigHandler()
{
}

CConfigHandler::~CConfigHandler()
{
}

void CConfigHandler::ResetDocument(const char* fileName)
{
    m_cursor = nullptr;
    m_currentPath.Empty();
    m_document.reset(fileName ? new (std::nothrow) TiXmlDocument(fileName) : nullptr);
}

int CConfigHandler::CreateConfig(const char* fileName)
{
    ResetDocument(fileName ? fileName : "");
    if (!m_document)
        return 0;
    m_document->LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", "yes"));
    TiXmlElement* root = new TiXmlElement(kRoot);
    root->LinkEndChild(new TiXmlElement(kPaths));
    root->LinkEndChild(new TiXmlElement(kPrograms));
    m_document->LinkEndChild(root);
    return 1;
}

int CConfigHandler::LoadConfig(const char* fileName)
{
    // A load always starts from a document named after the loaded file, so that a later save
    // writes back to that file.
    ResetDocument(fileName);
    if (!m_document)
        return 0;
    if (!LoadXmlFile(m_document.get(), fileName, TIXML_ENCODING_UTF8)) {
        m_document.reset();
        return 0;
    }
    return 1;
}

TiXmlElement* CConfigHandler::FindList(const char* name) const
{
    if (!m_document)
        return nullptr;
    return FirstChildElementNoCase(m_document->RootElement(), name);
}

int CConfigHandler::AddStartupProgram(_STARTUP_PROGRAM_INFORMATION* program)
{
    TiXmlElement* list = FindList(kPrograms);
    if (!list || !program)
        return 0;
    TiXmlElement* element = new TiXmlElement(kProgram);
    SetText(element, "Name", program->Name);
    SetText(element, "Data", program->Data);
    SetText(element, "RegPath", program->RegPath);
    element->SetAttribute("Type", static_cast<int>(program->Type));
    element->SetAttribute("Removed", program->Removed);
    element->SetAttribute("Local", program->Local);
    element->SetAttribute("Checked", program->Checked);
    list->LinkEndChild(element);
    return 1;
}

void CConfigHandler::ReadProgram(const TiXmlElement* element, _STARTUP_PROGRAM_INFORMATION* program)
{
    program->Name = Utf8ToAnsi(FindAttributeNoCase(element, "Name"));
    program->Data = Utf8ToAnsi(FindAttributeNoCase(element, "Data"));
    program->RegPath = Utf8ToAnsi(FindAttributeNoCase(element, "RegPath"));
    program->Type = AttributeNumber(element, "Type");
    program->Removed = static_cast<int>(AttributeNumber(element, "Removed"));
    program->Local = static_cast<int>(AttributeNumber(element, "Local"));
    program->Checked = static_cast<int>(AttributeNumber(element, "Checked"));
}

int CConfigHandler::GetFirstStartupProgram(_STARTUP_PROGRAM_INFORMATION* program)
{
    m_cursor = nullptr;
    TiXmlElement* list = FindList(kPrograms);
    if (!list || !program)
        return 0;
    m_cursor = list->FirstChildElement();
    return GetNextStartupProgram(program);
}

int CConfigHandler::GetNextStartupProgram(_STARTUP_PROGRAM_INFORMATION* program)
{
    if (!m_cursor || !program)
        return 0;
    ReadProgram(m_cursor, program);
    m_cursor = m_cursor->NextSiblingElement();
    return 1;
}

int CConfigHandler::AddCustomizePath(const char* path)
{
    TiXmlElement* list = FindList(kPaths);
    if (!list || !path)
        return 0;
    TiXmlElement* element = new TiXmlElement(kPath);
    SetText(element, kPathAttribute, path);
    list->LinkEndChild(element);
    return 1;
}

const char* CConfigHandler::ReturnPath(const TiXmlElement* element)
{
    m_currentPath = element ? Utf8ToAnsi(FindAttributeNoCase(element, kPathAttribute)) : CString();
    return m_currentPath;
}

const char* CConfigHandler::GetFirstCustomizePath()
{
    m_cursor = nullptr;
    TiXmlElement* list = FindList(kPaths);
    if (!list)
        return nullptr;
    m_cursor = list->FirstChildElement();
    return GetNextCustomizePath();
}

const char* CConfigHandler::GetNextCustomizePath()
{
    const TiXmlElement* element = m_cursor;
    if (m_cursor)
        m_cursor = m_cursor->NextSiblingElement();
    return ReturnPath(element);
}

int CConfigHandler::SaveConfig()
{
    if (!m_document || m_document->ValueStr().empty())
        return 0;
    return m_document->SaveFile() ? 1 : 0;
}
