#include "monitor/activity_line.h"

#include <cstdint>

const wchar_t* const kNotAValidWindow = L"Not a valid window";

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
                            module, title, handleValue);
}
