#pragma once

// sway's own IPC, for the one thing the wlroots protocol does not say: the
// process behind a window.

#include <wx/string.h>

// The pid of sway's focused window if its title is the one given, else 0.
// Asked once per window, when it first gets the focus; answers 0 at once
// outside sway (no SWAYSOCK) and within about timeoutMs otherwise.
unsigned long SwayFocusedWindowPid(const wxString& title, int timeoutMs = 500);
