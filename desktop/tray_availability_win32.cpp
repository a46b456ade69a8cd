#include "desktop/tray_availability.h"

// Shell_NotifyIcon fails by itself when there is no taskbar.
bool IsTrayAvailable()
{
    return true;
}
