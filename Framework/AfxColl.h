// CArray and CStringArray: growable arrays as the MFC templates of those names.
#pragma once

#include "AfxString.h"
#include <algorithm>
#include <vector>

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray
{
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    void SetSize(INT_PTR newSize) { m_items.resize(newSize > 0 ? static_cast<size_t>(newSize) : 0); }
    void RemoveAll() { m_items.clear(); }

    const TYPE& GetAt(INT_PTR index) const { return m_items.at(static_cast<size_t>(index)); }
    TYPE& ElementAt(INT_PTR index) { return m_items.at(static_cast<size_t>(index)); }
    void SetAt(INT_PTR index, ARG_TYPE item) { m_items.at(static_cast<size_t>(index)) = item; }
    const TYPE& operator[](INT_PTR index) const { return GetAt(index); }
    TYPE& operator[](INT_PTR index) { return ElementAt(index); }
    const TYPE* GetData() const { return m_items.data(); }
    TYPE* GetData() { return m_items.data(); }

    INT_PTR Add(ARG_TYPE item) { m_items.push_back(item); return GetSize() - 1; }
    INT_PTR Append(const CArray& other)
    {
        const INT_PTR first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CArray& other) { m_items = other.m_items; }
    void SetAtGrow(INT_PTR index, ARG_TYPE item)
    {
        if (index < 0)
            return;
        if (index >= GetSize())
            SetSize(index + 1);
        m_items[static_cast<size_t>(index)] = item;
    }
    void InsertAt(INT_PTR index, ARG_TYPE item, INT_PTR count = 1)
    {
        if (index < 0 || count <= 0)
            return;
        if (index > GetSize())
            SetSize(index);
        m_items.insert(m_items.begin() + index, static_cast<size_t>(count), item);
    }
    void RemoveAt(INT_PTR index, INT_PTR count = 1)
    {
        if (index < 0 || count <= 0 || index >= GetSize())
            return;
        const INT_PTR last = std::min<INT_PTR>(GetSize(), index + count);
        m_items.erase(m_items.begin() + index, m_items.begin() + last);
    }

    typename std::vector<TYPE>::iterator begin() { return m_items.begin(); }
    typename std::vector<TYPE>::iterator end() { return m_items.end(); }
    typename std::vector<TYPE>::const_iterator begin() const { return m_items.begin(); }
    typename std::vector<TYPE>::const_iterator end() const { return m_items.end(); }

private:
    std::vector<TYPE> m_items;
};

class CStringArray : public CArray<CString, const char*>
{
};

using CDWordArray = CArray<DWORD, DWORD>;
using CUIntArray = CArray<UINT, UINT>;
