#include "platform/instance_link_adapters.h"
#include "platform/linux/instance_lock.h"
#include "platform/linux/local_link.h"

// Our own local socket link and a kernel-held lock: local_link.h and
// instance_lock.h say why not the toolkit's.

namespace
{
class LocalClientLink : public ClientLink<LocalClient, LocalConnection>
{
public:
    using ClientLink::ClientLink;
    bool PeerAnswered() const override { return LocalClient::PeerAnswered(); }
};

class LocalInstanceLock : public InstanceChecker::Lock
{
public:
    bool Create(const wxString& name, const wxString& path) override
    {
        return m_lock.Create(name, path);
    }
    bool IsAnotherRunning() const override { return m_lock.IsAnotherRunning(); }
    const wxString& Problem() const override { return m_lock.Problem(); }

private:
    InstanceLock m_lock;
};
}  // namespace

IpcConnection::Link* IpcConnection::Link::Make(IpcConnection* connection)
{
    return new ConnectionLink<LocalConnection>(connection);
}

IpcServer::Link* IpcServer::Link::Make(IpcServer* server)
{
    return new ServerLink<LocalServer, LocalConnection>(server);
}

IpcClient::Link* IpcClient::Link::Make(IpcClient* client)
{
    return new LocalClientLink(client);
}

InstanceChecker::Lock* InstanceChecker::Lock::Make()
{
    return new LocalInstanceLock;
}
