#pragma once

// The platform ends of instance_link.h, and adapters that make them from a
// platform's own link classes shaped like the toolkit's wxConnection,
// wxServer and wxClient (the DDE classes, our local socket link).  Who
// deletes what is settled here, once for every platform; each platform
// defines the Make functions.

#include "platform/instance_link.h"

// A connection's platform end.  The platform deletes a server's connection
// when its link ends (OnDisconnect, or a plain delete when the server goes):
// the interface's connection goes with it.  A client's connection is its
// caller's and takes its link along when deleted, never the other way.
class IpcConnection::Link
{
public:
    static Link* Make(IpcConnection* connection);
    static Link* Of(IpcConnection* connection) { return connection->m_link; }

    explicit Link(IpcConnection* connection) : m_connection(connection) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    virtual ~Link();

    virtual bool Execute(const wxString& data) = 0;
    virtual bool Disconnect() = 0;

    IpcConnection* Connection() const { return m_connection; }
    // The connection is being deleted, and deletes this link.
    void Detach() { m_connection = nullptr; }
    // Handed to a server of the platform, which now decides when it ends.
    void Serve() { m_served = true; }
    bool Served() const { return m_served; }

private:
    IpcConnection* m_connection;
    bool m_served = false;
};

class IpcServer::Link
{
public:
    static Link* Make(IpcServer* server);
    virtual ~Link() = default;
    virtual bool Create(const wxString& service) = 0;
};

class IpcClient::Link
{
public:
    static Link* Make(IpcClient* client);
    virtual ~Link() = default;
    virtual IpcConnection* Connect(const wxString& host, const wxString& service,
                                   const wxString& topic) = 0;
    virtual bool PeerAnswered() const = 0;
};

class InstanceChecker::Lock
{
public:
    static Lock* Make();
    virtual ~Lock() = default;
    virtual bool Create(const wxString& name, const wxString& path) = 0;
    virtual bool IsAnotherRunning() const = 0;
    virtual const wxString& Problem() const = 0;
};

template <class Base>
class ConnectionLink : public Base, public IpcConnection::Link
{
public:
    explicit ConnectionLink(IpcConnection* connection) : IpcConnection::Link(connection) {}

    bool Execute(const wxString& data) override { return Base::Execute(data); }
    bool Disconnect() override { return Base::Disconnect(); }

    bool OnExecute(const wxString& topic, const void* data, size_t size,
                   wxIPCFormat format) override
    {
        IpcConnection* connection = Connection();
        return connection && connection->OnExecute(topic, data, size, format);
    }
    // The platform's own default deletes the link, which would leave a
    // client's caller holding a deleted connection.
    bool OnDisconnect() override
    {
        if (Served())
            delete this;
        return true;
    }
};

template <class Base, class BaseConnection>
class ServerLink : public Base, public IpcServer::Link
{
public:
    explicit ServerLink(IpcServer* server) : m_server(server) {}

    bool Create(const wxString& service) override { return Base::Create(service); }

    BaseConnection* OnAcceptConnection(const wxString& topic) override
    {
        IpcConnection* connection = m_server->OnAcceptConnection(topic);
        if (!connection)
            return nullptr;  // refused: the platform turns the caller away
        auto* link = static_cast<ConnectionLink<BaseConnection>*>(IpcConnection::Link::Of(connection));
        link->Serve();
        return link;
    }

private:
    IpcServer* m_server;
};

// PeerAnswered is left to the platform.
template <class Base, class BaseConnection>
class ClientLink : public Base, public IpcClient::Link
{
public:
    explicit ClientLink(IpcClient* client) : m_client(client) {}

    IpcConnection* Connect(const wxString& host, const wxString& service,
                           const wxString& topic) override
    {
        auto* made = this->MakeConnection(host, service, topic);
        return made ? static_cast<ConnectionLink<BaseConnection>*>(made)->Connection() : nullptr;
    }

    BaseConnection* OnMakeConnection() override
    {
        IpcConnection* connection = m_client->OnMakeConnection();
        if (!connection)
            return nullptr;
        return static_cast<ConnectionLink<BaseConnection>*>(IpcConnection::Link::Of(connection));
    }

private:
    IpcClient* m_client;
};
