#include "monitor/record_time.h"

#include <cstdio>

namespace
{
// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

long long SecondsOf(const wxDateTime::Tm& tm)
{
    return DaysFromCivil(tm.year, tm.mon + 1, tm.mday) * 86400 + tm.hour * 3600 + tm.min * 60 +
           tm.sec;
}
}  // namespace

// The local time and the offset in force at that moment, from the same
// instant broken down twice: daylight saving time and past changes of a
// zone's offset are whatever the system's zone data says for that date.
std::string FormatRecordTime(const wxDateTime& when)
{
    const wxDateTime::Tm local = when.GetTm(wxDateTime::Local);
    const wxDateTime::Tm utc = when.GetTm(wxDateTime::UTC);
    // Offsets with seconds (local mean time before 1900) keep whole minutes.
    const int offset = static_cast<int>((SecondsOf(local) - SecondsOf(utc)) / 60);
    const int absolute = offset < 0 ? -offset : offset;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                  local.year, local.mon + 1, local.mday, local.hour, local.min, local.sec,
                  local.msec, offset < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return text;
}
