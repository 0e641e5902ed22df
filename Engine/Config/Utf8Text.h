// Text conversion between the system code page of the engine's strings and the UTF-8 of its
// XML files.
#pragma once

#include <string>

#include "AfxString.h"

std::string AnsiToUtf8(const char* text);
CString Utf8ToAnsi(const char* text);
