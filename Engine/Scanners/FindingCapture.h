// CFindingCapture: a status that keeps the findings a scanner reports instead of passing them
// on, and lets its activity and progress go unheard. The repair runs a category's check of one
// item with it in place of its own status, to see whether the item is still what the scan found.
#pragma once

#include <utility>
#include <vector>

#include "VexaEngine.h"

class CFindingCapture : public CAbstractStatus
{
public:
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override;
    int OperationFinished(int) override { return 1; }
    int ReportResult(int) override { return 0; }

    // Whether a finding of the category names the item, the texts compared without regard to case.
    bool Holds(const CString& item, int category) const;

private:
    std::vector<std::pair<CString, int>> m_findings;
};
