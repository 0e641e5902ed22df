#include "FindingCapture.h"

void CFindingCapture::ReportItem(const char* item, int category, int value, INT_PTR)
{
    // Size rows (value -1) carry no finding.
    if (item && value == 0)
        m_findings.emplace_back(CString(item), category);
}

bool CFindingCapture::Holds(const CString& item, int category) const
{
    for (const auto& finding : m_findings)
        if ((finding.second & category) != 0 && finding.first.CompareNoCase(item) == 0)
            return true;
    return false;
}
