// Text conversions of the registry backup file: the code page of the registry names and texts,
// UTF-16 of the wide registry calls, UTF-8 of the file, and the file's escaping.
#pragma once

#include <windows.h>
#include <string>

#include "AfxString.h"

// System code page to UTF-16; embedded zero bytes are kept.
std::wstring AnsiToWide(const char* text, int length);
inline std::wstring AnsiToWide(const CString& text) { return AnsiToWide(text.GetString(), text.GetLength()); }
// UTF-16 to the system code page. False when the code page cannot carry the text exactly (the
// lossy conversion is still stored): such a text must never be used to name anything.
bool WideToAnsiExact(const wchar_t* text, int length, std::string* ansi);

// The file's UTF-8 and the system code page. Utf8ToAnsiExact is false for bytes that are not
// UTF-8 or for characters the code page cannot carry.
CString AnsiToUtf8(const CString& text);
bool Utf8ToAnsiExact(const CString& utf8, CString* ansi);

// "&", '"' and "<" become entities; control characters become character references, except
// a CR LF pair, which stays a line break of the file (multi-strings span lines).
CString EscapeXml(const CString& text);
// Undoes EscapeXml, and also reads "&gt;", "&apos;" and decimal or hexadecimal character
// references; anything it does not know stays as it stands.
CString UnescapeXml(const CString& text);
