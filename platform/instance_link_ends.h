#pragma once

// The platform ends of instance_link.h: what each platform provides behind
// the interface, made by the Make functions it defines.  Who deletes what is
// settled here, once for every platform.

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
