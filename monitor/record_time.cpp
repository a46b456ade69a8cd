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

namespace
{
// Reads exactly `count` digits at `at`, moving past them.
bool ReadDigits(std::string_view text, size_t& at, size_t count, int& value)
{
    if (at + count > text.size())
        return false;
    value = 0;
    for (size_t i = 0; i < count; ++i)
    {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    at += count;
    return true;
}

bool Accept(std::string_view text, size_t& at, char c)
{
    if (at < text.size() && text[at] == c)
    {
        ++at;
        return true;
    }
    return false;
}

bool IsDate(int year, int month, int day)
{
    if (month < 1 || month > 12 || day < 1)
        return false;
    const long long next = month == 12 ? DaysFromCivil(year + 1, 1, 1) : DaysFromCivil(year, month + 1, 1);
    return day <= next - DaysFromCivil(year, month, 1);
}

struct Parts
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    bool hasDate = false, hasTime = false, hasOffset = false;
    int offsetMinutes = 0;
};

// [YYYY-MM-DD][(T| )HH:MM[:SS[.fff…]]][Z|±HH[:]MM], the whole text.
bool ParseParts(std::string_view text, Parts& p)
{
    size_t at = 0;
    if (text.size() >= 10 && text[4] == '-')
    {
        if (!ReadDigits(text, at, 4, p.year) || !Accept(text, at, '-') ||
            !ReadDigits(text, at, 2, p.month) || !Accept(text, at, '-') ||
            !ReadDigits(text, at, 2, p.day))
            return false;
        p.hasDate = true;
        if (!IsDate(p.year, p.month, p.day))
            return false;
        if (at == text.size())
            return true;
        if (!Accept(text, at, 'T') && !Accept(text, at, ' '))
            return false;
    }
    if (!ReadDigits(text, at, 2, p.hour) || !Accept(text, at, ':') ||
        !ReadDigits(text, at, 2, p.minute))
        return false;
    p.hasTime = true;
    if (Accept(text, at, ':'))
    {
        if (!ReadDigits(text, at, 2, p.second))
            return false;
        if (Accept(text, at, '.') || Accept(text, at, ','))
        {
            // Milliseconds from the first three digits; the rest is finer.
            int digits = 0, digit = 0;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            {
                ReadDigits(text, at, 1, digit);
                if (digits++ < 3)
                    p.msec = p.msec * 10 + digit;
            }
            if (digits == 0)
                return false;
            for (; digits < 3; ++digits)
                p.msec *= 10;
        }
    }
    if (Accept(text, at, 'Z'))
    {
        p.hasOffset = true;
    }
    else if (at < text.size() && (text[at] == '+' || text[at] == '-'))
    {
        const int sign = text[at++] == '-' ? -1 : 1;
        int hours = 0, minutes = 0;
        if (!ReadDigits(text, at, 2, hours))
            return false;
        Accept(text, at, ':');
        if (!ReadDigits(text, at, 2, minutes) || hours > 23 || minutes > 59)
            return false;
        p.hasOffset = true;
        p.offsetMinutes = sign * (hours * 60 + minutes);
    }
    return at == text.size() && p.hour <= 23 && p.minute <= 59 && p.second <= 60;
}

std::int64_t UtcMs(const Parts& p)
{
    const long long seconds = DaysFromCivil(p.year, p.month, p.day) * 86400 + p.hour * 3600 +
                              p.minute * 60 + p.second - p.offsetMinutes * 60;
    return seconds * 1000 + p.msec;
}
}  // namespace

std::optional<std::int64_t> ParseRecordTime(std::string_view text)
{
    Parts p;
    if (!ParseParts(text, p) || !p.hasDate || !p.hasTime || !p.hasOffset)
        return std::nullopt;
    return UtcMs(p);
}

std::optional<std::int64_t> ParseUserTime(std::string_view text, bool endOfDay)
{
    // Days by name: their start, or as an end their end.
    if (text == "today" || text == "yesterday")
    {
        wxDateTime day = wxDateTime::Today();
        if (text == "yesterday")
            day -= wxDateSpan::Day();
        if (endOfDay)
            day += wxDateSpan::Day();
        return day.GetValue().GetValue();
    }
    // A span back from now: -90s, -30m, -1h, -2d.
    if (text.size() >= 3 && text.front() == '-')
    {
        std::int64_t count = 0;
        size_t i = 1;
        for (; i + 1 < text.size() && text[i] >= '0' && text[i] <= '9' && count < 100000000; ++i)
            count = count * 10 + (text[i] - '0');
        const char unit = text.back();
        const std::int64_t unitMs = unit == 's' ? 1000 : unit == 'm' ? 60000 : unit == 'h' ? 3600000
                                  : unit == 'd' ? 86400000 : 0;
        if (i + 1 != text.size() || i == 1 || unitMs == 0)
            return std::nullopt;
        return wxDateTime::UNow().GetValue().GetValue() - count * unitMs;
    }
    Parts p;
    if (!ParseParts(text, p))
        return std::nullopt;
    if (p.hasOffset)
        return p.hasDate ? std::optional<std::int64_t>(UtcMs(p)) : std::nullopt;
    // Local time: the zone's offset on that date, from the system's data.
    wxDateTime day = wxDateTime::Today();
    if (p.hasDate)
    {
        day = wxDateTime(static_cast<wxDateTime::wxDateTime_t>(p.day),
                         static_cast<wxDateTime::Month>(p.month - 1), p.year);
        if (!day.IsValid())
            return std::nullopt;
    }
    if (!p.hasTime && endOfDay)
        day += wxDateSpan::Day();
    const wxDateTime when(day.GetDay(), day.GetMonth(), day.GetYear(),
                          static_cast<wxDateTime::wxDateTime_t>(p.hour),
                          static_cast<wxDateTime::wxDateTime_t>(p.minute),
                          static_cast<wxDateTime::wxDateTime_t>(p.second > 59 ? 59 : p.second),
                          static_cast<wxDateTime::wxDateTime_t>(p.msec));
    if (!when.IsValid())
        return std::nullopt;
    return when.GetValue().GetValue();
}
