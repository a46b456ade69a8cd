#pragma once

#include <wx/event.h>

// What the tray icon and the single-instance link ask of the main frame.
// They send these to the application's top window instead of calling the
// frame, so that they never depend on it; a top window that does not answer
// them (none yet, or one being destroyed) simply ignores them.
wxDECLARE_EVENT(EVT_SHOW_OR_HIDE_REQUEST, wxCommandEvent);
wxDECLARE_EVENT(EVT_QUIT_REQUEST, wxCommandEvent);
// Log the foreground window now, as the hot key does, leaving the frame as it is.
wxDECLARE_EVENT(EVT_RECORD_NOW_REQUEST, wxCommandEvent);

// Processes the request at once in the top window, if there is a live one.
void SendToTopWindow(wxEventType request);
