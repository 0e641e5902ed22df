// A registry sandbox, a folder of fixture files and a scanner for one test.
#pragma once

#include <gtest/gtest.h>

#include "RegistrySandbox.h"
#include "ScannerHarness.h"
#include "TempFolder.h"

class RegistryScannerTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(sandbox.IsActive()); }

    // A file that exists, and the path of one that does not (on the fixed drive C).
    std::string Present(const std::string& relative) { return files.WriteFile(relative, "x"); }
    std::string Missing(const std::string& relative) { return files.PathOf(relative); }

    static std::vector<std::string> Sorted(std::vector<std::string> items)
    {
        std::sort(items.begin(), items.end());
        return items;
    }

    CRegistrySandbox sandbox;
    CTempFolder files;
};

// A file in a folder of the Windows folder for the length of a test ("syswow64\x.exe"); the
// folder is made when the prefix has none (a 64-bit prefix without 32-bit support) and removed
// again after.
class CSystemFile
{
public:
    CSystemFile(const std::string& folder, const std::string& name)
    {
        char windows[MAX_PATH] = {};
        ::GetWindowsDirectoryA(windows, MAX_PATH);
        m_folder = std::string(windows) + "\\" + folder;
        m_madeFolder = ::CreateDirectoryA(m_folder.c_str(), nullptr) != FALSE;
        m_path = m_folder + "\\" + name;
        HANDLE file = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    }
    ~CSystemFile()
    {
        ::DeleteFileA(m_path.c_str());
        if (m_madeFolder)
            ::RemoveDirectoryA(m_folder.c_str());
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_folder;
    std::string m_path;
    bool m_madeFolder = false;
};

// A name no other test or program uses.
inline std::string UniqueName(const char* stem, const char* extension)
{
    static int counter = 0;
    return std::string(stem) + "_" + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++counter) +
           extension;
}
