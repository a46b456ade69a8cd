#pragma once

// A system-wide key combination that reaches the program whatever has the
// focus.  platform/gtk (through the X11 grab) on Linux, platform/win32.

#include <wx/event.h>

class wxWindow;

// keyCode is a Windows virtual-key code, modifiers the toolkit's
// wxMOD_ALT/CONTROL/SHIFT/WIN bits (others are dropped).  While registered,
// the combination sends the window an EVT_MAIN_HOTKEY event with the given
// id.  False when the platform refuses it.
bool RegisterGlobalHotKey(wxWindow* window, int id, int modifiers, int keyCode);
// Harmless when nothing is registered.
void UnregisterGlobalHotKey(wxWindow* window, int id);

// Where the toolkit has system-wide hot keys it sends its own event; elsewhere
// the platform sends one of ours, with the same key event class and id.
#if wxUSE_HOTKEY
#define EVT_MAIN_HOTKEY(id, func) EVT_HOTKEY(id, func)
#else
wxDECLARE_EVENT(EVT_GLOBAL_HOTKEY, wxKeyEvent);
#define EVT_MAIN_HOTKEY(id, func) \
    wx__DECLARE_EVT1(EVT_GLOBAL_HOTKEY, id, wxKeyEventHandler(func))
#endif
