// The program file that a registry command line starts, in-process server texts, and the NT
// spellings of service image paths. Pure text work, no file access.
#pragma once

#include "AfxString.h"

// The text up to and including the first ".exe" (any case) that ends a path component: the end
// of the text, a double quote, a blank or "/" follows it. ".exe" inside a folder or file name
// ("my.exercise\uninst.exe") does not count. Only occurrences at firstPosition or later are
// taken. Empty when there is none, and when the path would be longer than any Windows accepts
// (32,767 characters): the search reads no further, so its time is linear in the text and
// bounded whatever the text's length.
CString ProgramPathBeforeExe(const CString& commandLine, int firstPosition = 0);

// A lower-cased registry text that names an in-process server library: ".dll" or ".ocx" after
// its first character.
bool NamesServerLibrary(const CString& lowerText);

// A service image path in one of the forms the service manager takes, turned into a Win32 path:
// "\SystemRoot\x" and "SystemRoot\x" under the Windows folder, "\??\C:\x" and "\\?\C:\x" as
// "C:\x", "\??\UNC\server\x" and "\\?\UNC\server\x" as "\\server\x", and a path relative to
// the Windows folder ("system32\drivers\x.sys") under it.
// Other texts come back unchanged. windowsFolder has no trailing backslash.
CString TranslateServiceImagePath(const CString& imagePath, const CString& windowsFolder);
