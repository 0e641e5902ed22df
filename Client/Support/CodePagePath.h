// Paths for code that opens files through the ANSI calls (the engine's): a wide path as the
// system's code page spells it, or its short (8.3) form where the code page cannot spell it. A
// name with letters outside the code page comes back from the conversion as "?" or as look-alikes
// (fullwidth letters as the plain ones), which name no file or another one: such a text is never
// handed on.
#pragma once

#include <string>

#include "Afx.h"

// `text` in the system code page; true only when that text converts back to the same characters.
bool SpellInCodePage(const std::wstring& text, CString& spelled);
// The form of a full path that the wide file calls take at any length: a path of MAX_PATH
// characters or more gets the "\\?\" prefix, which lifts the limit; a shorter one stays as it is.
std::wstring GetLongPathForm(const std::wstring& path);
// The short (8.3) form of an existing path, without that prefix; empty when the system gives it
// none.
std::wstring GetShortPath(const std::wstring& path);
// The form of `path` that the ANSI calls open as the same file: `path` itself when the code page
// spells it exactly and it is shorter than MAX_PATH, else `shortPath` on the same terms; FALSE
// when neither is.
BOOL ChooseCodePagePath(const std::wstring& path, const std::wstring& shortPath, CString& spelled);
// The same with the file's own short form, asked of the system only when it is needed.
BOOL GetCodePagePath(const std::wstring& path, CString& spelled);
