// The whole subkey list of a key read at once, telling whether it is complete. A scanner that
// judges references against such a list (registered classes, type libraries) must not judge
// when the list is short: a class that was not read would look unregistered.
#pragma once

#include <windows.h>
#include <vector>

#include "AfxString.h"

// Reads the names of every subkey of an open key (opened with KEY_ENUMERATE_SUB_KEYS and
// KEY_QUERY_VALUE). An index that fails is skipped and the reading goes on up to the subkey
// count that the key reported; true when every index was read.
bool ReadSubkeyNames(HKEY key, std::vector<CString>* names);
