// CTime: a local calendar time in whole seconds, as the MFC class of that name.
#pragma once

#include "AfxString.h"
#include <ctime>

class CTime
{
public:
    CTime() = default;
    explicit CTime(__time64_t time) : m_time(time) {}
    CTime(int year, int month, int day, int hour, int minute, int second);
    explicit CTime(const SYSTEMTIME& localTime);

    static CTime GetCurrentTime();

    __time64_t GetTime() const { return m_time; }
    int GetYear() const { return Local().tm_year + 1900; }
    int GetMonth() const { return Local().tm_mon + 1; }
    int GetDay() const { return Local().tm_mday; }
    int GetHour() const { return Local().tm_hour; }
    int GetMinute() const { return Local().tm_min; }
    int GetSecond() const { return Local().tm_sec; }
    int GetDayOfWeek() const { return Local().tm_wday + 1; }

    // strftime-style format of the local time.
    CString Format(const char* format) const;

    friend bool operator==(const CTime& a, const CTime& b) { return a.m_time == b.m_time; }
    friend bool operator<(const CTime& a, const CTime& b) { return a.m_time < b.m_time; }

private:
    std::tm Local() const;
    __time64_t m_time = 0;
};
