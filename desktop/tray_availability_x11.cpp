#include "desktop/tray_availability.h"

#include <wx/taskbar.h>

// GTK's status icon reports success even with no notification area and
// would wait for one silently; on X11 the area exists while some client owns
// the selection _NET_SYSTEM_TRAY_S<screen>, which is what the toolkit asks.
bool IsTrayAvailable()
{
    return wxTaskBarIcon::IsAvailable();
}
