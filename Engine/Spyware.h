// CSpyware: one spyware record of the signature database with the queries on its items.
// Defined entirely in this header, so that the program and "engine.dll" compile the same code
// against the one record layout of VexaEngine.h.
#pragma once

#include <vector>

#include "VexaEngine.h"

class CSpyware
{
public:
    explicit CSpyware(const _SPYWARE_INFORMATION& information) : m_information(information) {}
    virtual ~CSpyware() {}

    void SetInformation(const _SPYWARE_INFORMATION& information) { m_information = information; }
    const _SPYWARE_INFORMATION& GetInformation() const { return m_information; }

    long GetID() const { return m_information.ID; }
    long GetType() const { return m_information.Type; }
    const char* GetName() const { return m_information.Name; }
    const char* GetDetails() const { return m_information.Details; }
    const char* GetExtraText() const { return m_information.ExtraText; }
    void SetExtraText(const char* text) { m_information.ExtraText = text; }
    long GetExtraValue() const { return m_information.ExtraValue; }

    // The category bit under which a finding of this spyware is reported.
    DWORD GetCategory() const { return CategoryOfType(m_information.Type); }

    // The kind numbers bits from 1; the bit number wraps at 32. Kinds of 0 or less wrap the same
    // way (0 is bit 31), so no kind ever asks for a shift by a negative count, and the sum never
    // overflows for the lowest kind.
    static DWORD CategoryOfType(long type)
    {
        const long bit = (type % 32 + 31) % 32;
        return static_cast<DWORD>(1) << bit;
    }

    // The value of the first item of this kind; null when there is none.
    const char* FindItemValue(int type) const
    {
        for (const _SPYWARE_ITEM& item : m_information.Items)
            if (item.Type == type)
                return item.Value;
        return nullptr;
    }

    // The entries of the first item of this kind that has a value, split at ';' and trimmed.
    // Pieces that trim to nothing are left out: they name no file, folder or key. The text after
    // the last ';' counts only when it is longer than one character, and a ';' at the very start
    // of what remains ends the splitting (that rest is kept whole). TRUE when values holds at
    // least one entry afterwards.
    BOOL GetItemValues(int type, std::vector<CString>* values) const
    {
        if (!values)
            return FALSE;
        values->clear();
        const _SPYWARE_ITEM* found = nullptr;
        for (const _SPYWARE_ITEM& item : m_information.Items) {
            if (item.Type == type && !item.Value.IsEmpty()) {
                found = &item;
                break;
            }
        }
        if (!found)
            return FALSE;
        CString rest = found->Value;
        int separator;
        while ((separator = rest.Find(';')) > 0) {
            CString piece = rest.Left(separator);
            piece.Trim();
            if (!piece.IsEmpty())
                values->push_back(piece);
            rest = rest.Mid(separator + 1);
        }
        rest.Trim();
        if (rest.GetLength() > 1)
            values->push_back(rest);
        return values->empty() ? FALSE : TRUE;
    }

private:
    _SPYWARE_INFORMATION m_information;
};
