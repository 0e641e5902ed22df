// Puts places outside a test's own folders back as the test found them: whatever appears at or
// below the watched paths while the object lives (files and folders) is removed when it goes.
// What was there before stays, changed or not. For the places the program under test chooses
// itself, such as the folders it keeps beside its executable.
#pragma once

#include <set>
#include <string>
#include <vector>

class CLeftBehind
{
public:
    explicit CLeftBehind(const std::vector<std::string>& paths);
    ~CLeftBehind();
    CLeftBehind(const CLeftBehind&) = delete;
    CLeftBehind& operator=(const CLeftBehind&) = delete;

private:
    std::vector<std::string> m_paths;
    std::set<std::string> m_found;
};

// The folder of the running program, without a trailing backslash.
std::string ProgramFolder();
