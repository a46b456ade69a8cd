#include "desktop/ipc_endpoint.h"

// DDE takes the service name as it is; the lock is a named mutex.
IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName)
{
    IpcEndpoint endpoint;
    endpoint.lockName = instanceName;
    endpoint.service = serviceName;
    return endpoint;
}
