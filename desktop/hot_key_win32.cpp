// Windows has system-wide hot keys; the toolkit wraps them.
#include "desktop/hot_key.h"

#include <wx/window.h>

bool RegisterGlobalHotKey(wxWindow* window, int id, int modifiers, int keyCode)
{
    return window->RegisterHotKey(id, modifiers, keyCode);
}

void UnregisterGlobalHotKey(wxWindow* window, int id)
{
    window->UnregisterHotKey(id);
}
