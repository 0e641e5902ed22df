#include "PathText.h"

#include <windows.h>
#include <string>

namespace {

const int kMaxReferenceLength = 260;
const int kShortestMappedPath = 8;

// The drives whose paths the reference test judges.
const char kFirstJudgedDrive = 'c';
const char kLastJudgedDrive = 'p';

// Characters that no file path holds. "^" and "~" are legal in file names: a path holding them
// is judged by the file like any other.
const char kNonPathCharacters[] =
    "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19"
    "\x1a\x1b\x1c\x1d\x1e\x1f/*?\"<>|";

// The lead bytes of the system code page, read once: the reference test scans every text
// value of a registry walk byte by byte.
struct LeadBytes {
    bool lead[256] = {};
    LeadBytes()
    {
        for (int byte = 0x80; byte < 256; ++byte)
            lead[byte] = ::IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
    }
};

const bool* LeadByteTable()
{
    static const LeadBytes table;
    return table.lead;
}

// The position of the first character (never a trail byte) that starts one of the markers
// ",", ";", "/", "%", "\.\" or "\..\"; the length when there is none. Cutting there is the
// same as cutting before each marker in turn.
size_t FirstCutPosition(const std::string& text)
{
    const bool* leads = LeadByteTable();
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == ',' || ch == ';' || ch == '/' || ch == '%')
            return i;
        if (ch == '\\' && (text.compare(i, 3, "\\.\\") == 0 || text.compare(i, 4, "\\..\\") == 0))
            return i;
        if (leads[static_cast<unsigned char>(ch)])
            ++i;
    }
    return text.size();
}

bool IsJudgedDriveAt(const std::string& text, size_t at)
{
    return at + 3 <= text.size() && text[at] >= kFirstJudgedDrive && text[at] <= kLastJudgedDrive &&
           text[at + 1] == ':' && text[at + 2] == '\\';
}

// A second drive root from c:\ to p:\ anywhere after the first character.
bool HoldsSecondDriveRoot(const std::string& text)
{
    const bool* leads = LeadByteTable();
    for (size_t i = 0; i < text.size(); ++i) {
        if (i >= 1 && IsJudgedDriveAt(text, i))
            return true;
        if (leads[static_cast<unsigned char>(text[i])])
            ++i;
    }
    return false;
}

} // namespace

CString StripPathQuotes(const CString& text)
{
    CString result(text);
    result.TrimRight('"');
    result.TrimLeft('"');
    return result;
}

CString NormalizedPathKey(const CString& path)
{
    CString key(path);
    key.Trim();
    key.MakeLower();
    key.Replace('/', '\\');
    // Cut once at the last character that is not a separator (the first one always stays).
    int length = key.GetLength();
    while (length > 1 && key[length - 1] == '\\')
        --length;
    key = key.Left(length);
    if (key.GetLength() == 2 && key[1] == ':')
        key += '\\';
    return key;
}

REFERENCE_TEXT_KIND ReferencePathFromText(const CString& text, CString* path)
{
    if (text.IsEmpty() || text.GetLength() >= kMaxReferenceLength)
        return REFERENCE_NO_FILE;
    CString candidate(text);
    candidate.Remove('@');
    candidate.MakeLower();
    candidate.Trim();

    const size_t cut = FirstCutPosition(candidate.Str());
    if (cut < static_cast<size_t>(candidate.GetLength()))
        candidate = candidate.Left(static_cast<int>(cut));
    const int lastQuote = candidate.ReverseFind('"');
    if (lastQuote >= 0)
        candidate = candidate.Left(lastQuote);
    candidate.Remove('"');

    if (!IsJudgedDriveAt(candidate.Str(), 0) || HoldsSecondDriveRoot(candidate.Str()))
        return REFERENCE_NO_FILE;

    // A path that goes on after a three-letter extension ("prog.exe\1") ends at the extension.
    const int lastDot = candidate.ReverseFind('.');
    const int lastSlash = candidate.ReverseFind('\\');
    if (lastDot >= 0 && lastDot == lastSlash - 4)
        candidate = candidate.Left(lastSlash);
    for (const char* extension : {".exe ", ".ocx ", ".dll ", ".its!"}) {
        const int found = candidate.Find(extension);
        if (found >= 0)
            candidate = candidate.Left(found + 4);
    }

    if (path)
        *path = candidate;
    if (candidate.FindOneOf(kNonPathCharacters) < 0)
        return REFERENCE_FILE;
    return candidate.Find('~') >= 0 ? REFERENCE_SHELL_PATH : REFERENCE_NO_FILE;
}

BOOL MapWow64AlternatePath(const CString& path, bool toNative, CString* mapped)
{
    if (path.GetLength() < kShortestMappedPath)
        return FALSE;
    CString result(path);
    result.MakeLower();
    const char* systemFrom = toNative ? "syswow64" : "system32";
    const char* systemTo = toNative ? "system32" : "syswow64";
    if (result.Replace(systemFrom, systemTo) == 0) {
        // "program files (x86)" contains "program files": map only the form that is there.
        const bool isX86 = result.Find("program files (x86)") >= 0;
        if (toNative && isX86)
            result.Replace("program files (x86)", "program files");
        else if (!toNative && !isX86 && result.Find("program files") >= 0)
            result.Replace("program files", "program files (x86)");
        else
            return FALSE;
    }
    if (mapped)
        *mapped = result;
    return TRUE;
}

std::vector<CString> FolderSetEntries(const std::set<CString>& folders, bool driveRoots)
{
    std::vector<CString> entries;
    std::set<CString> seen;
    for (const CString& folder : folders) {
        if ((folder.GetLength() == 2) != driveRoots)
            continue;
        if (seen.insert(NormalizedPathKey(folder)).second)
            entries.push_back(folder);
    }
    return entries;
}
