#pragma once

// The link a second start uses to reach the running instance, and the lock
// that tells the two apart.  Each platform builds them on its own classes
// (platform/linux, platform/win32), whose wire they keep.

#include <cstddef>
#include <memory>

#include <wx/ipcbase.h>
#include <wx/string.h>

// One conversation.  One that a server accepted belongs to the link: it is
// deleted when the link ends.  One that a client made belongs to its caller.
class IpcConnection
{
public:
    IpcConnection();
    IpcConnection(const IpcConnection&) = delete;
    IpcConnection& operator=(const IpcConnection&) = delete;
    virtual ~IpcConnection();

    // Client side: hands the message over; true when the server handled it.
    bool Execute(const wxString& data);
    // Ends the link without OnExecute or deletion; true if there was one.
    bool Disconnect();

    // Server side: the message as the platform delivers it; a text ends with
    // a zero byte that size counts.  True when handled.
    virtual bool OnExecute(const wxString& topic, const void* data, size_t size,
                           wxIPCFormat format);

    // The platform's end (instance_link_ends.h).
    class Link;

private:
    // Null once the platform has ended the link of a client's connection.
    Link* m_link;
};

// The running instance's end, served from the toolkit's event loop.
class IpcServer
{
public:
    IpcServer();
    IpcServer(const IpcServer&) = delete;
    IpcServer& operator=(const IpcServer&) = delete;
    // Ends every conversation still open.
    virtual ~IpcServer();

    // Offers the service; only the holder of the instance lock may.
    bool Create(const wxString& service);
    // A new connection to accept the topic, nullptr to refuse it.
    virtual IpcConnection* OnAcceptConnection(const wxString& topic);

    class Link;

private:
    std::unique_ptr<Link> m_link;
};

// A second start's end.  Connections it made must be deleted before it.
class IpcClient
{
public:
    IpcClient();
    IpcClient(const IpcClient&) = delete;
    IpcClient& operator=(const IpcClient&) = delete;
    virtual ~IpcClient();

    // The conversation on topic with the server at service, or nullptr.
    // Bounded in time where the platform allows it.
    IpcConnection* MakeConnection(const wxString& host, const wxString& service,
                                  const wxString& topic);
    virtual IpcConnection* OnMakeConnection();
    // Whether the last MakeConnection found a server of this user there, even
    // one that then refused.  Always false where the platform cannot tell,
    // which only matters where an instance lock can be lost.
    bool PeerAnswered() const;

    class Link;

private:
    std::unique_ptr<Link> m_link;
};

// One running instance per name, held for the object's life.
class InstanceChecker
{
public:
    InstanceChecker();
    InstanceChecker(const InstanceChecker&) = delete;
    InstanceChecker& operator=(const InstanceChecker&) = delete;
    ~InstanceChecker();

    // path: where the lock lives, the platform's default place when empty.
    // False only when the lock could not be taken or looked at at all.
    bool Create(const wxString& name, const wxString& path = wxEmptyString);
    // True when another process holds the lock.
    bool IsAnotherRunning() const;
    // Why Create failed, naming the lock; empty after a success.
    const wxString& Problem() const;

    class Lock;

private:
    std::unique_ptr<Lock> m_lock;
};
