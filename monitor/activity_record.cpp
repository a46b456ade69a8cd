#include "monitor/activity_record.h"

#include <cstdio>
#include <string>

#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/utils.h>

#include "platform/folder_path.h"

namespace
{
void AppendUtf8(std::string& out, wxUint32 c)
{
    if (c < 0x80)
    {
        out += static_cast<char>(c);
    }
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(wxUint32 c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wxUint32 c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Titles come from other programs and may hold anything.  Besides what JSON
// demands (quote, backslash, C0 controls), DEL, the C1 controls and the two
// Unicode line separators are escaped too, so that no reader's line
// splitting or terminal is ever surprised.
void AppendJsonString(std::string& out, const wxString& text)
{
    out += '"';
    const wchar_t* chars = text.wc_str();
    const size_t length = text.length();
    for (size_t i = 0; i < length; ++i)
    {
        wxUint32 c = static_cast<wxUint32>(chars[i]);
        // UTF-16 pairs (the only form on Windows) make one character.
        if (IsHighSurrogate(c) && i + 1 < length &&
            IsLowSurrogate(static_cast<wxUint32>(chars[i + 1])))
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<wxUint32>(chars[i + 1]) - 0xDC00);
            ++i;
        }
        else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF)
        {
            c = 0xFFFD;
        }

        if (c == '"' || c == '\\')
        {
            out += '\\';
            out += static_cast<char>(c);
        }
        else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029)
        {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
        else
        {
            AppendUtf8(out, c);
        }
    }
    out += '"';
}

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

const char* SeenName(Seen seen)
{
    switch (seen)
    {
    case Seen::Event:
        return "event";
    case Seen::HotKey:
        return "hotkey";
    case Seen::Tick:
        break;
    }
    return "tick";
}

std::string RecordLineUtf8(const ActivityEntry& entry, const RecordDetails& details)
{
    std::string line = "{\"time\":";
    if (entry.when.IsValid())
        line += '"' + FormatRecordTime(entry.when) + '"';
    else
        line += "null";
    line += ",\"number\":" + std::to_string(entry.number);
    line += ",\"module\":";
    AppendJsonString(line, entry.module);
    line += ",\"path\":";
    AppendJsonString(line, details.path);
    line += ",\"pid\":" + std::to_string(details.pid);
    line += ",\"class\":";
    AppendJsonString(line, details.windowClass);
    line += ",\"title\":";
    AppendJsonString(line, entry.title);
    line += ",\"handle\":" + std::to_string(static_cast<unsigned long long>(entry.window));
    line += ",\"seen\":\"";
    line += SeenName(entry.seen);
    line += "\"}\n";
    return line;
}
}  // namespace

wxString FormatRecordLine(const ActivityEntry& entry, const RecordDetails& details)
{
    const std::string line = RecordLineUtf8(entry, details);
    return wxString::FromUTF8(line.data(), line.size());
}

wxString ResolveRecordPath(const wxString& value, const wxString& settingsDirectory)
{
    if (value.empty())
        return wxString();
    if (value == L"~")
        return wxGetHomeDir();
    if (value.length() > 1 && value[0] == L'~' && wxFileName::IsPathSeparator(value[1]))
        return WithSeparator(wxGetHomeDir()) + value.Mid(2);
    if (wxFileName(value).IsAbsolute())
        return value;
    return WithSeparator(settingsDirectory) + value;
}

bool ActivityRecord::Open(const wxString& path)
{
    Close();
    m_path = path;
    m_problem.clear();
    m_problemTaken = false;
    if (path.empty())
    {
        Fail(_("No record file is named."));
        return false;
    }
    wxString reason;
    if (m_file.Open(path, reason))
        return true;
    Fail(wxString::Format(_("The record file \"%s\" cannot be used: %s."), path, reason));
    return false;
}

void ActivityRecord::Close()
{
    m_file.Close();
}

bool ActivityRecord::Append(const ActivityEntry& entry, const RecordDetails& details)
{
    if (!m_file.IsOpen())
        return false;
    wxString reason;
    // Lines written into a file that no name leads to any more would be lost.
    if (!m_file.IsStillAt(m_path) && !m_file.Open(m_path, reason))
    {
        Fail(wxString::Format(_("The record file \"%s\" was removed or replaced and cannot be "
                                "used again: %s."),
                              m_path, reason));
        return false;
    }
    const std::string line = RecordLineUtf8(entry, details);
    if (m_file.Append(line.data(), line.size(), reason))
        return true;
    Fail(wxString::Format(_("The record file \"%s\" cannot be written: %s."), m_path, reason));
    return false;
}

wxString ActivityRecord::TakeNewProblem()
{
    if (m_problemTaken)
        return wxString();
    m_problemTaken = true;
    return m_problem;
}

void ActivityRecord::Fail(const wxString& problem)
{
    Close();
    m_problem = problem;
    m_problemTaken = false;
}
