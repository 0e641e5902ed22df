// CIgnoreListFile: the text of "IgnoreList.dat" and its reading and writing.
//
// The file is a run of records, each ended by ';': item text, '^', category label, '^', number
// (the label may be missing: item, '^', number). Item texts may hold '^' and ';' themselves, so
// writers put the marker record ESCAPED_MARKER first and escape the fields of every record after
// it ("%5E", "%3B", "%25", control bytes and white space at a field's ends as "%XX"). Files
// written before the marker existed still read as they always did, and an old reader skips the
// marker like any record without '^'.
// The writers go through text-mode files, so each record's CR LF stands on disk as CR CR LF, as
// the file has always been written; the reader trims it away with the record.
#pragma once

#include <functional>
#include <vector>

#include "AfxString.h"

struct IGNORE_LIST_RECORD {
    CString Item;
    CString Category;
    int Number = 0;
};

class CIgnoreListFile
{
public:
    static const char ESCAPED_MARKER[];

    // The accepted records in file order: every record with its fields, also after an empty
    // record and at the end of a file whose last ';' is missing; a record without '^' (such as
    // the marker) is skipped.
    static std::vector<IGNORE_LIST_RECORD> Parse(const CString& text);
    // The same records, each handed to `visit` as it is read (a large list is never held twice).
    static void ForEachRecord(const CString& text, const std::function<void(IGNORE_LIST_RECORD&)>& visit);
    // The file's records, each handed to `visit` as the file is read, without holding its text.
    // The file is opened for reading only (a read-only folder is fine); a missing file has no
    // records. FALSE when the file exists but cannot be opened or read to its end: the records
    // visited until then are not the whole list.
    static BOOL ReadRecords(const char* path, const std::function<void(IGNORE_LIST_RECORD&)>& visit);

    // One record with its line end, for a map key "item^label" (split at its last '^', since
    // labels hold none; a key without '^' is an item without label).
    static CString FormatRecord(const CString& key, int number);
    // The marker record that starts the escaped part of a file, with its line end.
    static CString FormatMarker();

    static CString Escape(const CString& field);
    static CString Unescape(const CString& field);

    // Replaces the file by one written in full beside it, so a failed write never leaves the
    // list half written or empty.
    static BOOL ReplaceText(const char* path, const CString& text);
    // Adds text at the end of the file (creating it), after closing an unterminated last record.
    static BOOL AppendText(const char* path, const CString& text);
};

// Splits a key "item^label" at its last '^'. FALSE (item empty, label the whole key) when the
// key has none.
bool SplitIgnoreKey(const CString& key, CString* item, CString* label);
