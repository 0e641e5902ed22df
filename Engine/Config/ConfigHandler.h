// CConfigHandler: the configuration store on one TinyXML document kept in memory; the caller
// decides when it is created, loaded and saved.
#pragma once

#include <memory>

#include "AbstractConfigHandler.h"

class TiXmlDocument;
class TiXmlElement;

class CConfigHandler : public CAbstractConfigHandler
{
public:
    CConfigHandler();
    ~CConfigHandler() override;
    CConfigHandler(const CConfigHandler&) = delete;
    CConfigHandler& operator=(const CConfigHandler&) = delete;

    int CreateConfig(const char* fileName) override;
    int LoadConfig(const char* fileName) override;
    int AddStartupProgram(_STARTUP_PROGRAM_INFORMATION* program) override;
    int GetFirstStartupProgram(_STARTUP_PROGRAM_INFORMATION* program) override;
    int GetNextStartupProgram(_STARTUP_PROGRAM_INFORMATION* program) override;
    int AddCustomizePath(const char* path) override;
    const char* GetFirstCustomizePath() override;
    const char* GetNextCustomizePath() override;
    // 0 when there is no document or the file could not be written.
    int SaveConfig() override;

private:
    // Drops the document, and with it the cursor that pointed into it.
    void ResetDocument(const char* fileName);
    TiXmlElement* FindList(const char* name) const;
    static void ReadProgram(const TiXmlElement* element, _STARTUP_PROGRAM_INFORMATION* program);
    const char* ReturnPath(const TiXmlElement* element);

    std::unique_ptr<TiXmlDocument> m_document;
    TiXmlElement* m_cursor = nullptr;
    CString m_currentPath;
};
