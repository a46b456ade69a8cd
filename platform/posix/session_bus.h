#pragma once

// Whether the session has a D-Bus bus to ask.  Without one GIO would start a
// bus of its own through dbus-launch, on which no compositor, shell or tray
// host would be found, and which would outlive us.

#include <sys/stat.h>

#include <cstdlib>
#include <string>

inline bool SessionBusExists()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info;
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
           S_ISSOCK(info.st_mode);
}
