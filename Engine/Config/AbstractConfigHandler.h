// The engine's XML configuration store as callers of the library see it: a list of extra
// folders and a list of startup-program records. Handed out and taken back by the engine
// interface (CreateConfigHandler / ReleaseConfigHandler).
#pragma once

#include "VexaEngine.h"

// One startup-program record of the configuration file.
struct _STARTUP_PROGRAM_INFORMATION {
    CString Name;
    CString RegPath;
    CString Data;
    long Type = 0;
    int Removed = 0;
    int Checked = 0;
    int Local = 0;
};

class CAbstractConfigHandler
{
public:
    virtual ~CAbstractConfigHandler() {}
    // A new empty configuration named after the file; nothing is written yet.
    virtual int CreateConfig(const char* fileName) = 0;
    // Loads the file; 0 (and no document) when it cannot be read.
    virtual int LoadConfig(const char* fileName) = 0;
    virtual int AddStartupProgram(_STARTUP_PROGRAM_INFORMATION* program) = 0;
    // The two lists share one cursor: a GetFirst... restarts it for either list.
    virtual int GetFirstStartupProgram(_STARTUP_PROGRAM_INFORMATION* program) = 0;
    virtual int GetNextStartupProgram(_STARTUP_PROGRAM_INFORMATION* program) = 0;
    virtual int AddCustomizePath(const char* path) = 0;
    // The texts stay valid until the next call on the handler.
    virtual const char* GetFirstCustomizePath() = 0;
    virtual const char* GetNextCustomizePath() = 0;
    // Writes the whole document to the file it was created or loaded with.
    virtual int SaveConfig() = 0;
};
