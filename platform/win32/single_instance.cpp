// What a second start needs on Windows beyond the toolkit's DDE link.
#include "platform/single_instance.h"

#include <windows.h>

// DDE takes the service name as it is; the lock is a named mutex.
IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName)
{
    IpcEndpoint endpoint;
    endpoint.lockName = instanceName;
    endpoint.service = serviceName;
    return endpoint;
}

// Windows lets a background process take the foreground only when the
// foreground process allows it; the second start, which the user just
// launched, is that process.
void AllowOtherInstanceForeground()
{
    ::AllowSetForegroundWindow(ASFW_ANY);
}
