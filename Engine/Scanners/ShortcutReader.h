// CShortcutReader: reads the target of shortcut (.lnk) files through the shell-link object.
// It belongs to one thread: it initialises COM on the thread that creates it and creates its
// own shell-link object there, so the job thread never borrows an object of another apartment.
#pragma once

#include <windows.h>

#include "AfxString.h"

struct IShellLinkA;
struct IPersistFile;

class CShortcutReader
{
public:
    CShortcutReader();
    ~CShortcutReader();
    CShortcutReader(const CShortcutReader&) = delete;
    CShortcutReader& operator=(const CShortcutReader&) = delete;

    // False when the shell-link object could not be created on this thread.
    bool IsReady() const { return m_persistFile != nullptr; }

    // Loads the shortcut and gives its target path (empty for a shortcut to something that is
    // not a file, such as a shell folder). False when the shortcut could not be loaded or its
    // target could not be read: nothing is known about it then.
    bool ReadTarget(const char* shortcutPath, CString* target);

private:
    bool m_uninitialize = false;
    IShellLinkA* m_shellLink = nullptr;
    IPersistFile* m_persistFile = nullptr;
};
