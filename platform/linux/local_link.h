#pragma once

// A small local link between a second start and the running instance, shaped
// like the toolkit's wxServer/wxClient/wxConnection so that the application's
// classes derive from it the same way.  It replaces the toolkit's socket IPC,
// which allocated whatever length a peer claimed and could block on a silent
// or stopped peer.
//
// Protocol on a Unix-domain stream socket (UTF-8 payloads, at most 4 KiB):
//   frame := kind (1 byte: 'T' topic, 'X' execute) + length (4 bytes, big-endian) + payload
//   client -> 'T' frame with the topic; server -> 'A' (accepted) or 'R' (refused, then closes)
//   client -> one 'X' frame with the message; server -> 'K' (handled) or 'F', then closes
//   A claimed length over 4 KiB, an unexpected kind or 2 s without progress drops the peer.
//   Both ends drop a peer of another user (SO_PEERCRED).

#include <chrono>
#include <memory>

#include <wx/defs.h>
#include <wx/ipcbase.h>
#include <wx/string.h>

class LocalServerPeer;

class LocalConnection
{
public:
    LocalConnection() = default;
    LocalConnection(const LocalConnection&) = delete;
    LocalConnection& operator=(const LocalConnection&) = delete;
    virtual ~LocalConnection();

    // Client side: sends the message and waits for the answer, within what is
    // left of the client's deadline.  True when the server handled it.
    bool Execute(const wxString& data);
    // Ends the link without calling OnDisconnect(); true if there was one.
    bool Disconnect();
    bool IsConnected() const { return m_fd >= 0 || m_peer != nullptr; }

    // Server side: data is the message as UTF-8 followed by a zero byte,
    // size counts that zero byte (as with the toolkit's text formats).
    virtual bool OnExecute(const wxString& topic, const void* data, size_t size,
                           wxIPCFormat format);
    // Called when the link ends from the other side, on a deadline or with the
    // server; deletes the connection, as the toolkit does.
    virtual bool OnDisconnect();

private:
    friend class LocalServer;
    friend class LocalClient;

    // Server side: the peer record, owned by the server.
    LocalServerPeer* m_peer = nullptr;
    // Client side: the socket and the end of the client's total deadline.
    int m_fd = -1;
    bool m_executed = false;
    std::chrono::steady_clock::time_point m_deadline;
};

class LocalServer
{
public:
    LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;
    // Closes the socket and every pending peer at once; waits for nobody.
    virtual ~LocalServer();

    // Binds the socket, replacing any socket at that path: only the holder of
    // the instance lock may call this.  Served from the toolkit's main loop.
    bool Create(const wxString& socketPath);

    // Return a new connection to accept the topic, nullptr to refuse it.
    virtual LocalConnection* OnAcceptConnection(const wxString& topic);

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

class LocalClient
{
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    explicit LocalClient(std::chrono::milliseconds timeout = kDefaultTimeout) : m_timeout(timeout) {}
    virtual ~LocalClient() = default;

    // host is ignored: the link is local only.  Blocks for at most the
    // client's timeout, which also bounds Execute() on the connection.
    LocalConnection* MakeConnection(const wxString& host, const wxString& socketPath,
                                    const wxString& topic);
    virtual LocalConnection* OnMakeConnection();

    void SetTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // Whether the last MakeConnection found a server of this user listening,
    // even one that then refused or did not answer in time.
    bool PeerAnswered() const { return m_peerAnswered; }

private:
    std::chrono::milliseconds m_timeout;
    bool m_peerAnswered = false;
};
