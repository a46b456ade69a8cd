#pragma once

#include <wx/datetime.h>
#include <wx/string.h>

#include "monitor/window_platform.h"

using WallClock = wxDateTime (*)();

// Module and title of a window; "Not a valid window" for what cannot be found.
void GetWindowIdentity(WindowPlatform& platform, WindowHandle window,
                       wxString& module, wxString& title);

// One sample: the line to append when the foreground window changed since
// lastWindow got its line, otherwise an empty string.  lineCount is the number
// of the last line written.  An idle sample costs one foreground query and one
// validity check.
wxString FormatForegroundChange(WindowPlatform& platform, WindowHandle& lastWindow,
                                int& lineCount, WallClock now = &wxDateTime::UNow);
