// The hot key on Windows: RegisterHotKey, through the toolkit, which sends
// its own hot-key event.
#include "platform/hot_key.h"

#include <wx/window.h>

bool RegisterGlobalHotKey(wxWindow* window, int id, int modifiers, int keyCode)
{
    return window->RegisterHotKey(id, modifiers, keyCode);
}

void UnregisterGlobalHotKey(wxWindow* window, int id)
{
    window->UnregisterHotKey(id);
}
