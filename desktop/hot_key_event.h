#pragma once

#include <wx/event.h>

// The toolkit delivers system-wide hot keys only where it has them (Windows);
// elsewhere our own layer sends an event of its own type, with the same key
// event class and the hot key's id.
#if wxUSE_HOTKEY
#define EVT_MAIN_HOTKEY(id, func) EVT_HOTKEY(id, func)
#else
wxDECLARE_EVENT(EVT_GLOBAL_HOTKEY, wxKeyEvent);
#define EVT_MAIN_HOTKEY(id, func) \
    wx__DECLARE_EVT1(EVT_GLOBAL_HOTKEY, id, wxKeyEventHandler(func))
#endif
