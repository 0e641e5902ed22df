// A fresh empty folder under the temporary path whose name the system code page cannot spell (the
// first of a few scripts that this code page lacks), made and removed with the wide calls: the
// narrow ones see only question marks in its name.
#pragma once

#include <windows.h>

#include <string>

class CUnspellableFolder
{
public:
    CUnspellableFolder()
    {
        static const wchar_t* const names[] = { L"\x0416\x0443\x043a", L"\x03a9\x03bc\x03ad\x03b3\x03b1", L"\x6f22\x5b57" };
        wchar_t temp[MAX_PATH] = {};
        const DWORD length = ::GetTempPathW(MAX_PATH, temp);
        if (length == 0 || length >= MAX_PATH)
            return;
        static LONG counter = 0;
        const std::wstring unique = L" " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(::InterlockedIncrement(&counter));
        for (const wchar_t* name : names) {
            if (IsSpelled(name))
                continue;
            const std::wstring path = std::wstring(temp) + name + unique;
            if (::CreateDirectoryW(path.c_str(), nullptr))
                m_path = path;
            return;
        }
    }
    ~CUnspellableFolder()
    {
        if (!m_path.empty())
            ::RemoveDirectoryW(m_path.c_str());
    }
    CUnspellableFolder(const CUnspellableFolder&) = delete;
    CUnspellableFolder& operator=(const CUnspellableFolder&) = delete;

    // Empty when the folder could not be made, or the code page spells every candidate name.
    const std::wstring& Path() const { return m_path; }

private:
    static bool IsSpelled(const wchar_t* name)
    {
        if (::GetACP() == CP_UTF8)
            return true;
        BOOL lost = FALSE;
        char narrow[64] = {};
        return ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, narrow, sizeof(narrow), nullptr, &lost) > 0 &&
               !lost;
    }

    std::wstring m_path;
};
