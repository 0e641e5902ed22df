// Everything below a key as the wide registry calls see it: names, types and exact bytes.
#pragma once

#include <windows.h>
#include <map>
#include <string>
#include <vector>

struct SnapshotValue {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const SnapshotValue& other) const { return type == other.type && data == other.data; }
};

// Key path relative to the snapshot's top ("" for the top) -> value name -> value.
using RegistrySnapshot = std::map<std::wstring, std::map<std::wstring, SnapshotValue>>;

bool TakeSnapshot(HKEY root, const wchar_t* key, RegistrySnapshot* snapshot);
// The differences, one line each, for a failure message; empty when equal.
std::string CompareSnapshots(const RegistrySnapshot& expected, const RegistrySnapshot& actual);

bool WriteRegValueW(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size);
