// Three registry scanners: values that name missing files (FPR), empty keys of the user hives
// (ERK) and sound-event labels whose display-name resource file is gone (SAE).
#include "EngineProcess.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"

namespace {

const char kEventLabelsKey[] = "AppEvents\\EventLabels";
const char kCurrentUserRoot[] = "HKEY_CURRENT_USER";
const char kDisplayFileValue[] = "dispfilename";

// "@mmres.dll,-700": the resource file of an indirect display name; empty when the text is not
// of that form.
CString IndirectResourceFile(const CString& text)
{
    if (text.Find('@') < 0 || text.Find('.') < 0 || text.Find(',') < 0)
        return CString();
    CString file = text.Left(text.Find(','));
    file.Remove('@');
    return file;
}

} // namespace

void CVexaEngineProcess::ScanFileReferences()
{
    WalkRegistry("HKEY_USERS", "", WALK_FILE_REFERENCES);
    WalkRegistry("HKEY_LOCAL_MACHINE", "SOFTWARE", WALK_FILE_REFERENCES);
    WalkRegistry("HKEY_LOCAL_MACHINE", "System", WALK_FILE_REFERENCES);
}

void CVexaEngineProcess::ScanEmptyKeys()
{
    WalkRegistry("HKEY_USERS", "", WALK_EMPTY_KEYS);
}

void CVexaEngineProcess::ScanSoundEvents()
{
    CRegistryKey labels;
    if (labels.Open(HKEY_CURRENT_USER, kEventLabelsKey, KEY_ENUMERATE_SUB_KEYS) != ERROR_SUCCESS)
        return;
    ReportProgress(PROGRESS_STEP);

    CRegistrySubkeyEnum labelNames(labels);
    CString label;
    while (KeepRunning() && labelNames.Next(&label))
        CheckSoundLabel(label);
}

void CVexaEngineProcess::CheckSoundLabel(const CString& label)
{
    const CString labelPath = CString(kEventLabelsKey) + "\\" + label;
    CRegistryKey labelKey;
    if (labelKey.Open(HKEY_CURRENT_USER, labelPath, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return;
    CRegistryValueEnum values(labelKey);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value)) {
        if (!value.HasData())
            continue;
        ReportProgress(PROGRESS_STEP);
        CString text = value.Text();
        text.MakeLower();
        text.Trim('"');
        const CString file = IndirectResourceFile(text);
        if (CString(value.Name).MakeLower() == kDisplayFileValue && !file.IsEmpty() &&
            JudgeFileReference(file) == FILE_STATE_MISSING && CanWriteRegistryKey(kCurrentUserRoot, labelPath))
            ReportFinding(CString(kCurrentUserRoot) + "\\" + labelPath, SCAN_SAE);
        ReportScanActivity(labelPath, "SAE");
    }
}

void CVexaEngineProcess::CheckSoundEventItem(const CString& item)
{
    CString label;
    if (ChildKeyOfItem(item, HKEY_CURRENT_USER, kEventLabelsKey, &label))
        CheckSoundLabel(label);
}
