// Symbolic links for fixtures. Under Wine a link is a Unix symbolic link (made and removed with
// the system's "ln" and "rm", run through Wine on the Unix paths), which Wine's find and
// attribute functions show as a plain file, or as a folder marked as a reparse point; on
// Windows it is made by CreateSymbolicLink.
#pragma once

#include <string>

// Makes `link` point to `target` (a file, or a folder with `folder`); false when it could not.
bool MakeSymbolicLink(const std::string& link, const std::string& target, bool folder = false);
// Removes the link itself, never what it points to.
bool RemoveSymbolicLink(const std::string& link, bool folder = false);
