#!/bin/sh
# Usage: check_imports.sh <objdump> <binary>...
# Fails when a binary imports a function that Windows XP SP3 lacks (one that arrived with Vista
# or later): Windows refuses to load such a binary there.
objdump="$1"; shift

# Whole function names, as extended regular expressions.
vista_and_later='
GetTickCount64
.*SRWLock.*
.*ConditionVariable.*
InitOnce.*
Fls(Alloc|Free|GetValue|SetValue)
RegDeleteTree[AW]?
RegGetValue[AW]
RegSetKeyValue[AW]
RegDeleteKeyValue[AW]
RegCopyTree[AW]
RegLoadMUIString[AW]
RegDeleteKeyEx[AW]
QueryFullProcessImageName[AW]
(GetLocaleInfo|GetDateFormat|GetTimeFormat|GetNumberFormat|GetCurrencyFormat|GetDurationFormat)Ex
(CompareString|LCMapString|FindNLSString|GetCalendarInfo|EnumSystemLocales|EnumTimeFormats)Ex
(EnumDateFormatsEx|EnumCalendarInfoEx)Ex
.*LocaleName.*
CompareStringOrdinal
K32.*
GetFinalPathNameByHandle[AW]
CreateSymbolicLink[AW]
CancelIoEx
GetFileInformationByHandleEx
SetFileInformationByHandle
InitializeCriticalSectionEx
Create(Event|Mutex|Semaphore)Ex[AW]
GetErrorMode
GetThreadId
GetProcessIdOfThread
Wow64(Disable|Revert)Wow64FsRedirection
SHGetKnownFolderPath
SHCreateItemFromParsingName
'
pattern="^($(printf '%s' "$vista_and_later" | grep . | paste -sd '|' -))\$"

status=0
for binary in "$@"; do
  table=$("$objdump" -p "$binary") || { echo "cannot read $binary"; status=1; continue; }
  # "DLL Name: KERNEL32.dll" heads each DLL's list, whose entries read "<vma> <hint> <name>" and
  # end at a blank line.
  imports=$(printf '%s\n' "$table" | awk '
    /^The Import Tables/ { inside = 1; next }
    /^The / || /^PE File/ { inside = 0 }
    NF == 0 { dll = ""; next }
    inside && $1 == "DLL" && $2 == "Name:" { dll = $3; next }
    inside && dll != "" && NF >= 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll " " $3 }')
  if [ -z "$imports" ]; then
    echo "$binary: no import table found"; status=1; continue
  fi
  found=$(printf '%s\n' "$imports" | awk '{ print $2 }' | grep -E "$pattern")
  if [ -n "$found" ]; then
    echo "$binary imports functions that Windows XP lacks:"
    printf '%s\n' "$imports" | grep -E " ($(printf '%s' "$found" | paste -sd '|' -))\$" | sed 's/^/  /'
    status=1
  else
    echo "$binary: $(printf '%s\n' "$imports" | wc -l) imports, all present on Windows XP"
  fi
done
exit $status
