// Shortcut files for fixtures, written through the shell-link object as a user's would be.
#pragma once

#include <string>

// Writes a shortcut at `path` that points to `target`; false when the shell refused.
bool WriteShortcut(const std::string& path, const std::string& target);
