#include "AfxTime.h"

CTime::CTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts = {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    m_time = ::_mktime64(&parts);
}

CTime::CTime(const SYSTEMTIME& localTime)
    : CTime(localTime.wYear, localTime.wMonth, localTime.wDay, localTime.wHour, localTime.wMinute,
            localTime.wSecond)
{
}

CTime CTime::GetCurrentTime()
{
    return CTime(::_time64(nullptr));
}

std::tm CTime::Local() const
{
    std::tm parts = {};
    ::_localtime64_s(&parts, &m_time);
    return parts;
}

CString CTime::Format(const char* format) const
{
    if (!format || !*format)
        return CString();
    const std::tm parts = Local();
    char buffer[512];
    const size_t length = std::strftime(buffer, sizeof(buffer), format, &parts);
    return CString(buffer, static_cast<int>(length));
}
