#include "platform/instance_link.h"

#include "platform/instance_link_ends.h"

IpcConnection::Link::~Link()
{
    if (!m_connection)
        return;  // deleted by its connection
    m_connection->m_link = nullptr;
    if (m_served)
        delete m_connection;
}

IpcConnection::IpcConnection() : m_link(Link::Make(this)) {}

IpcConnection::~IpcConnection()
{
    if (m_link)
    {
        m_link->Detach();
        delete m_link;
    }
}

bool IpcConnection::Execute(const wxString& data)
{
    return m_link && m_link->Execute(data);
}

bool IpcConnection::Disconnect()
{
    return m_link && m_link->Disconnect();
}

bool IpcConnection::OnExecute(const wxString&, const void*, size_t, wxIPCFormat)
{
    return false;
}

IpcServer::IpcServer() : m_link(Link::Make(this)) {}

IpcServer::~IpcServer() = default;

bool IpcServer::Create(const wxString& service)
{
    return m_link->Create(service);
}

IpcConnection* IpcServer::OnAcceptConnection(const wxString&)
{
    return nullptr;
}

IpcClient::IpcClient() : m_link(Link::Make(this)) {}

IpcClient::~IpcClient() = default;

IpcConnection* IpcClient::MakeConnection(const wxString& host, const wxString& service,
                                         const wxString& topic)
{
    return m_link->Connect(host, service, topic);
}

IpcConnection* IpcClient::OnMakeConnection()
{
    return new IpcConnection;
}

bool IpcClient::PeerAnswered() const
{
    return m_link->PeerAnswered();
}

InstanceChecker::InstanceChecker() : m_lock(Lock::Make()) {}

InstanceChecker::~InstanceChecker() = default;

bool InstanceChecker::Create(const wxString& name, const wxString& path)
{
    return m_lock->Create(name, path);
}

bool InstanceChecker::IsAnotherRunning() const
{
    return m_lock->IsAnotherRunning();
}

const wxString& InstanceChecker::Problem() const
{
    return m_lock->Problem();
}
