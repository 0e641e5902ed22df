// CComPointer: one COM interface pointer, released when the object goes or is given another.
#pragma once

#include <objbase.h>

template <class T>
class CComPointer
{
public:
    CComPointer() = default;
    ~CComPointer() { Release(); }
    CComPointer(const CComPointer&) = delete;
    CComPointer& operator=(const CComPointer&) = delete;

    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For a call that hands out a new reference: the old one is released first.
    T** Receive()
    {
        Release();
        return &m_p;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    void Release()
    {
        if (m_p) {
            m_p->Release();
            m_p = nullptr;
        }
    }

private:
    T* m_p = nullptr;
};
