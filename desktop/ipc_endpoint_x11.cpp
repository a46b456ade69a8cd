#include "desktop/ipc_endpoint.h"

#include <cstdlib>

#include <wx/filename.h>

#include "desktop/private_directory.h"
#include "desktop/short_name.h"

namespace
{
// sun_path holds 108 bytes with the terminating zero; stay below 107, as the
// toolkit silently binds a longer path as some other, abstract, name.
const size_t kMaxSocketPath = 106;
// The usual limit of one file name.
const size_t kMaxFileName = 255;
}  // namespace

// The toolkit's IPC takes a service containing a slash as the path of a
// Unix-domain socket; anything else would be a TCP port on every interface.
IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName)
{
    IpcEndpoint endpoint;
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    const wxString directory =
        ChoosePrivateDirectory(runtimeDir ? wxString::FromUTF8(runtimeDir) : wxString(),
                               wxFileName::GetTempDir());
    if (directory.empty())
    {
        // No safe place: lock at the checker's default place, offer no service.
        endpoint.lockName = ShortName(instanceName, kMaxFileName);
        return endpoint;
    }
    endpoint.lockDirectory = directory;
    endpoint.lockName = ShortName(instanceName, kMaxFileName);
    const size_t used = directory.utf8_str().length() + 1;
    if (used < kMaxSocketPath)
    {
        const wxString socketName = ShortName(serviceName, kMaxSocketPath - used);
        if (!socketName.empty())
            endpoint.service = directory + L"/" + socketName;
    }
    return endpoint;
}
