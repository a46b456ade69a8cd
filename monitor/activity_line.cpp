#include "monitor/activity_line.h"

#include <cstdint>

const wchar_t* const kNotAValidWindow = L"Not a valid window";

namespace
{
bool IsControl(wxUint32 code)
{
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == 0x2028 ||
           code == 0x2029;
}

// Embeddings, overrides, isolates and marks would reorder the rest of the
// line around them on screen.
bool IsBidiControl(wxUint32 code)
{
    return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) ||
           code == 0x200E || code == 0x200F || code == 0x061C;
}
}  // namespace

wxString CleanTitle(const wxString& title)
{
    wxString clean = title.Left(255);
    for (wxString::iterator it = clean.begin(); it != clean.end(); ++it)
    {
        if (IsControl((*it).GetValue()))
            *it = L' ';
    }
    return clean;
}

wxString ShownText(const wxString& text)
{
    wxString shown = text;
    for (wxString::iterator it = shown.begin(); it != shown.end(); ++it)
    {
        const wxUint32 code = (*it).GetValue();
        if (IsControl(code) || IsBidiControl(code))
            *it = L' ';
    }
    return shown;
}

wxString FormatActivityTime(const wxDateTime& when)
{
    return when.Format(L"%M:%S:%l", wxDateTime::Local);
}

wxString FormatActivityLine(int number, const wxString& timeStamp,
                            const wxString& module, const wxString& title,
                            WindowHandle window)
{
    // Handles print as the signed decimal of their low 32 bits, as on Win32.
    const int handleValue = static_cast<int>(static_cast<std::int32_t>(window));
    return wxString::Format(L"%.3i.  %s     %s - %s (%i) \n", number, timeStamp,
                            ShownText(module), ShownText(title), handleValue);
}

std::optional<std::pair<std::size_t, std::size_t>> FindNumberedLine(const wxString& text,
                                                                    int number)
{
    const wxString start = wxString::Format(L"%.3i.  ", number);
    // The newest line is the last: search from the end.
    std::size_t end = text.length();
    while (true)
    {
        const std::size_t lineBreak = end == 0 ? wxString::npos : text.rfind(L'\n', end - 1);
        const std::size_t from = lineBreak == wxString::npos ? 0 : lineBreak + 1;
        if (text.compare(from, start.length(), start) == 0)
            return std::make_pair(from, end);
        if (lineBreak == wxString::npos)
            return std::nullopt;
        end = lineBreak;
    }
}
