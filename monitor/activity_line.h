#pragma once

#include <wx/datetime.h>
#include <wx/string.h>

#include "platform/platform.h"

// Text used for module and title when a window cannot be identified.
extern const wchar_t* const kNotAValidWindow;

// "%M:%S:%l" of the given moment in local time, e.g. "17:05:083".
wxString FormatActivityTime(const wxDateTime& when);

// One line of the Activity log, ending in " \n".
wxString FormatActivityLine(int number, const wxString& timeStamp,
                            const wxString& module, const wxString& title,
                            WindowHandle window);
