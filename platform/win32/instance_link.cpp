#include "platform/instance_link_adapters.h"

// wx/ipc.h chooses DDE or TCP by __WINDOWS__, which only wx/defs.h defines.
#include <wx/defs.h>
#include <wx/ipc.h>
#include <wx/log.h>
#include <wx/snglinst.h>

// The toolkit's DDE classes, which are also the wire that other versions
// speak, and its named-mutex instance checker.

namespace
{
class DdeClientLink : public ClientLink<wxClient, wxConnection>
{
public:
    using ClientLink::ClientLink;
    // DDE cannot tell a server that refused from none at all.  The answer is
    // only needed where an instance lock can be lost, which a named mutex
    // cannot.
    bool PeerAnswered() const override { return false; }
};

class MutexInstanceLock : public InstanceChecker::Lock
{
public:
    bool Create(const wxString& name, const wxString& path) override
    {
        if (m_checker.Create(name, path))
            return true;
        m_problem = wxString::Format(L"\"%s\": %s", name, wxSysErrorMsgStr());
        return false;
    }
    bool IsAnotherRunning() const override { return m_checker.IsAnotherRunning(); }
    const wxString& Problem() const override { return m_problem; }

private:
    wxSingleInstanceChecker m_checker;
    wxString m_problem;
};
}  // namespace

IpcConnection::Link* IpcConnection::Link::Make(IpcConnection* connection)
{
    return new ConnectionLink<wxConnection>(connection);
}

IpcServer::Link* IpcServer::Link::Make(IpcServer* server)
{
    return new ServerLink<wxServer, wxConnection>(server);
}

IpcClient::Link* IpcClient::Link::Make(IpcClient* client)
{
    return new DdeClientLink(client);
}

InstanceChecker::Lock* InstanceChecker::Lock::Make()
{
    return new MutexInstanceLock;
}
