// A registry link key for the length of a test: created volatile, pointing at a kernel path,
// and deleted as itself at the end (a deletion that follows the link would fail and leave the
// sandbox behind).
#pragma once

#include <windows.h>

#include <string>

class CLinkKey
{
public:
    // `target` is a kernel path ("\Registry\Machine\..."); Created() tells whether the link stands.
    CLinkKey(HKEY root, const std::string& path, const std::string& target);
    ~CLinkKey();
    CLinkKey(const CLinkKey&) = delete;
    CLinkKey& operator=(const CLinkKey&) = delete;

    bool Created() const { return m_created; }

private:
    HKEY m_root;
    std::string m_path;
    bool m_made = false;
    bool m_created = false;
};
