#include "desktop/hot_key.h"

wxDEFINE_EVENT(EVT_GLOBAL_HOTKEY, wxKeyEvent);

// TODO(desktop): XGrabKey layer.
bool RegisterGlobalHotKey(wxWindow*, int, int, int)
{
    return true;
}

void UnregisterGlobalHotKey(wxWindow*, int)
{
}
