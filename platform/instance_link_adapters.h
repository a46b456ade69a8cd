#pragma once

// Adapters that make the platform ends (instance_link_ends.h) from a
// platform's own link classes shaped like the toolkit's wxConnection,
// wxServer and wxClient (the DDE classes, our local socket link).  Used by
// the platforms' files only.

#include "platform/instance_link_ends.h"

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
