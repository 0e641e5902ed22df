// Text rules for paths and command lines found in the registry: quote stripping, the spelling
// under which a path is compared, the file part of a command line, and the WOW64 alternative
// location of a system or program path. Pure text work, no file access.
#pragma once

#include <set>
#include <vector>

#include "AfxString.h"

// Double quotes removed from the end, then from the start.
CString StripPathQuotes(const CString& text);

// The spelling under which two paths count as the same: lower case, forward slashes turned into
// backslashes, surrounding blanks and trailing backslashes dropped (a drive root keeps its
// backslash: "c:\").
CString NormalizedPathKey(const CString& path);

// What a registry text (a value's data or a command line) says about a file.
enum REFERENCE_TEXT_KIND {
    REFERENCE_NO_FILE = 0,    // names no single local file that can be judged
    REFERENCE_FILE = 1,       // names the file or folder written into path
    REFERENCE_SHELL_PATH = 2, // holds characters a plain file test rejects but a short name ("~")
};

// Cuts a registry text down to the one path it starts with, for the reference test of the
// file-reference walk: arguments, resource numbers, variables and relative parts are cut off;
// only texts that start with a drive root from c:\ to p:\ and name no second drive root are
// judged. path receives the lower-cased result.
REFERENCE_TEXT_KIND ReferencePathFromText(const CString& text, CString* path);

// The other location of a system or program path under WOW64, lower-cased: with toNative
// "syswow64" becomes "system32" (or "program files (x86)" becomes "program files"), without it the
// other way round. FALSE when the path is shorter than 8 characters or has nothing to map.
BOOL MapWow64AlternatePath(const CString& path, bool toNative, CString* mapped);

// The entries of a scan's folder set that one folder walk takes: with driveRoots the
// two-character drive entries ("C:"), else every other entry; in set order, each folder once
// however it is spelt (case, slashes, trailing backslash).
std::vector<CString> FolderSetEntries(const std::set<CString>& folders, bool driveRoots);
