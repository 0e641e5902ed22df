// Text conversions of the registry backup file: the code page of the engine's texts, UTF-16 of
// the wide registry calls, and the escaped UTF-8 of the file.
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

// A name or text as it stands in the file: UTF-8, with "&", '"' and "<" as entities and every
// control character (line breaks included) and every unpaired surrogate as a character
// reference, so that no line break of the file is ever part of a text and every text comes back
// exactly.
std::string WideToFileText(const wchar_t* text, size_t length);
inline std::string WideToFileText(const std::wstring& text) { return WideToFileText(text.data(), text.size()); }
// The reverse, in one pass. Also reads "&gt;", "&apos;", decimal and hexadecimal character
// references, and line breaks that stand in the file as they are (older files wrote them so).
// False for bytes that are not UTF-8, an "&" that begins no known reference, or a reference to
// no character.
bool FileTextToWide(const std::string& text, std::wstring* wide);

// Whether a text equals an ASCII text without regard to ASCII case ("(Default)", "REG_SZ"); a
// zero inside the text never ends it early.
bool EqualsNoCaseAscii(const std::wstring& text, const char* ascii);
bool EqualsNoCaseAscii(const std::string& text, const char* ascii);
