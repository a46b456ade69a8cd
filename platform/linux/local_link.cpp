#include "platform/linux/local_link.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// The server is fed by wxEventLoopBase::AddSourceForFD rather than GLib's
// g_unix_fd_add: under wxGTK it is a g_io_add_watch on the default GLib
// context, the one the GTK main loop and modal dialogs run, so it serves
// before and during the main loop; it needs no GLib headers in this target
// and works under a console wxEventLoop too.  For an input-only source both
// loops call exactly one handler method per wake-up and never touch the
// handler afterwards, so a handler may be deleted from inside its callback.
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr size_t kMaxPayload = 4096;
constexpr size_t kHeaderSize = 5;
// SOMAXCONN may be larger; 128 is plenty for people starting a program.
constexpr int kBacklog = 128;
// A peer gets this long for each step: the handshake, then the message.
constexpr auto kStepDeadline = std::chrono::seconds(2);
constexpr int kTickMs = 200;
// Bounds the descriptors one user's flood can take from the program.
constexpr size_t kMaxPeers = 512;
// Accepts per wake-up, so that a burst does not starve the user interface.
constexpr int kAcceptsPerWake = 64;

constexpr char kTopicFrame = 'T';
constexpr char kExecuteFrame = 'X';
constexpr char kAccepted = 'A';
constexpr char kRefused = 'R';
constexpr char kHandled = 'K';
constexpr char kNotHandled = 'F';

void CloseFd(int fd)
{
    // Linux frees the descriptor even when close() reports EINTR: never retry.
    if (fd >= 0)
        close(fd);
}

bool IsTemporary(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool PeerIsSameUser(int fd)
{
    struct ucred credentials;
    socklen_t size = sizeof(credentials);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof(credentials))
        return false;
    return credentials.uid == geteuid();
}

bool FillAddress(const wxString& path, sockaddr_un* address)
{
    const wxScopedCharBuffer bytes = path.fn_str();
    const size_t length = bytes.length();
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    // A longer path would be cut short, a leading zero would make it abstract.
    if (length == 0 || length >= sizeof(address->sun_path) || bytes.data()[0] == '\0')
        return false;
    std::memcpy(address->sun_path, bytes.data(), length);
    return true;
}

std::string MakeFrame(char kind, const wxScopedCharBuffer& payload)
{
    const std::uint32_t length = static_cast<std::uint32_t>(payload.length());
    std::string frame(1, kind);
    for (int shift = 24; shift >= 0; shift -= 8)
        frame += static_cast<char>((length >> shift) & 0xff);
    frame.append(payload.data(), payload.length());
    return frame;
}

// Milliseconds left for poll(), rounded up; -1 once the deadline has passed.
int RemainingMs(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return -1;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits for the event on fd until the deadline; false on timeout or error.
bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;)
    {
        const int left = RemainingMs(deadline);
        if (left < 0)
            return false;
        pollfd entry = {fd, events, 0};
        const int ready = poll(&entry, 1, left);
        if (ready > 0)
            return true;  // errors and hang-ups show in the next call
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool SendAll(int fd, const std::string& bytes, Clock::time_point deadline)
{
    size_t sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && IsTemporary(errno))
        {
            if (!WaitFor(fd, POLLOUT, deadline))
                return false;
        }
        else
            return false;
    }
    return true;
}

bool ReceiveByte(int fd, char* byte, Clock::time_point deadline)
{
    for (;;)
    {
        const ssize_t n = recv(fd, byte, 1, 0);
        if (n == 1)
            return true;
        if (n == 0)
            return false;
        if (errno == EINTR)
            continue;
        if (!IsTemporary(errno) || !WaitFor(fd, POLLIN, deadline))
            return false;
    }
}

// A non-blocking connect.  A full backlog answers EAGAIN at once on a Unix
// socket, so that case is retried until the deadline.
bool ConnectBy(int fd, const sockaddr_un& address, Clock::time_point deadline)
{
    for (;;)
    {
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
            return true;
        if (errno == EINPROGRESS || errno == EINTR)
        {
            if (!WaitFor(fd, POLLOUT, deadline))
                return false;
            int error = 0;
            socklen_t size = sizeof(error);
            return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        if (!IsTemporary(errno))
            return false;
        const int left = RemainingMs(deadline);
        if (left < 0)
            return false;
        if (poll(nullptr, 0, std::min(left, 20)) < 0 && errno != EINTR)
            return false;
    }
}
}  // namespace

// ---------------------------------------------------------------------------
// Server side

class LocalServerPeer : public wxEventLoopSourceHandler
{
public:
    enum class Step { Topic, Message, Handling };

    LocalServerPeer(LocalServer::Impl* server, int socket) : owner(server), fd(socket) {}

    void OnReadWaiting() override;
    void OnWriteWaiting() override {}
    // The console loop reports a bare hang-up here.
    void OnExceptionWaiting() override { OnReadWaiting(); }

    LocalServer::Impl* owner;
    int fd;
    wxEventLoopSource* source = nullptr;
    Step step = Step::Topic;
    Clock::time_point deadline = Clock::now() + kStepDeadline;
    std::array<unsigned char, kHeaderSize> header{};
    std::array<char, kMaxPayload + 1> payload{};
    std::uint32_t length = 0;
    size_t received = 0;
    wxString topic;
    LocalConnection* connection = nullptr;
    // While user code runs for this peer, closing it only marks it: the
    // code that called out finishes the job.
    bool inCallback = false;
    bool closed = false;
    bool notifyPending = false;
};

class LocalServer::Impl
{
public:
    explicit Impl(LocalServer* server) : self(server), listener(this), timer(this) {}
    ~Impl();

    bool Create(const wxString& socketPath);
    void Accept();
    void Feed(LocalServerPeer* peer);
    void Close(LocalServerPeer* peer, bool notify);
    void Tick();
    bool Listen();

    struct Listener : wxEventLoopSourceHandler
    {
        explicit Listener(Impl* server) : impl(server) {}
        void OnReadWaiting() override { impl->Accept(); }
        void OnWriteWaiting() override {}
        void OnExceptionWaiting() override { impl->Accept(); }
        Impl* impl;
    };

    struct Ticker : wxTimer
    {
        explicit Ticker(Impl* server) : impl(server) {}
        void Notify() override { impl->Tick(); }
        Impl* impl;
    };

    LocalServer* self;
    Listener listener;
    Ticker timer;
    int listenFd = -1;
    wxEventLoopSource* listenSource = nullptr;
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<LocalServerPeer*> peers;
    // Cleared when the server goes, so that code returning from a callback
    // knows not to touch it.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

private:
    bool Complete(LocalServerPeer* peer);
    void FinishAfterCallback(LocalServerPeer* peer);
    void EnsureTimer()
    {
        if (!timer.IsRunning())
            timer.Start(kTickMs);
    }
};

void LocalServerPeer::OnReadWaiting()
{
    try
    {
        owner->Feed(this);
    }
    catch (...)
    {
        // Only an allocation can fail here; the deadline drops the peer.
    }
}

LocalServer::Impl::~Impl()
{
    *alive = false;
    timer.Stop();
    delete listenSource;
    listenSource = nullptr;
    CloseFd(listenFd);
    if (!path.empty())
    {
        // A later instance may have bound its own socket here: leave that one.
        struct stat status;
        if (lstat(path.c_str(), &status) == 0 && status.st_dev == device &&
            status.st_ino == inode)
            unlink(path.c_str());
    }
    while (!peers.empty())
        Close(peers.back(), true);
}

bool LocalServer::Impl::Create(const wxString& socketPath)
{
    sockaddr_un address;
    if (listenFd >= 0 || !FillAddress(socketPath, &address))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // bind() gives the file the socket's own mode: 0600 from the start, with
    // no window in which others could connect and without the process-wide
    // umask that other threads may rely on.
    if (fchmod(fd, S_IRUSR | S_IWUSR) != 0)
    {
        CloseFd(fd);
        return false;
    }
    // A socket left by a crashed instance; anything else at the path stays.
    struct stat status;
    if (lstat(address.sun_path, &status) == 0)
    {
        if (!S_ISSOCK(status.st_mode) || unlink(address.sun_path) != 0)
        {
            CloseFd(fd);
            return false;
        }
    }
    else if (errno != ENOENT)
    {
        CloseFd(fd);
        return false;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
    {
        CloseFd(fd);
        return false;
    }
    listenFd = fd;
    path = address.sun_path;
    if (chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || lstat(address.sun_path, &status) != 0 ||
        listen(fd, kBacklog) != 0)
    {
        unlink(address.sun_path);
        path.clear();
        CloseFd(fd);
        listenFd = -1;
        return false;
    }
    device = status.st_dev;
    inode = status.st_ino;
    peers.reserve(kMaxPeers);
    if (!Listen())
    {
        unlink(address.sun_path);
        path.clear();
        CloseFd(fd);
        listenFd = -1;
        return false;
    }
    return true;
}

bool LocalServer::Impl::Listen()
{
    if (!listenSource)
        listenSource = wxEventLoopBase::AddSourceForFD(listenFd, &listener, wxEVENT_SOURCE_INPUT);
    return listenSource != nullptr;
}

void LocalServer::Impl::Accept()
{
    for (int count = 0; count < kAcceptsPerWake; ++count)
    {
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
        {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            {
                // The listener would wake us at once again: pause it until
                // the next tick, when peers may have gone.
                delete listenSource;
                listenSource = nullptr;
                EnsureTimer();
            }
            return;
        }
        if (!PeerIsSameUser(fd))
        {
            CloseFd(fd);
            continue;
        }
        if (peers.size() >= kMaxPeers)
        {
            // Full of peers that have not even named a topic: the oldest of
            // them goes, so that silent holders cannot lock out a real start.
            const auto oldest = std::find_if(peers.begin(), peers.end(), [](LocalServerPeer* peer) {
                return peer->step == LocalServerPeer::Step::Topic && !peer->inCallback;
            });
            if (oldest == peers.end())
            {
                CloseFd(fd);
                continue;
            }
            Close(*oldest, false);
        }
        LocalServerPeer* peer = new (std::nothrow) LocalServerPeer(this, fd);
        if (peer)
            peer->source = wxEventLoopBase::AddSourceForFD(fd, peer, wxEVENT_SOURCE_INPUT);
        if (!peer || !peer->source)
        {
            delete peer;
            CloseFd(fd);
            continue;
        }
        peers.push_back(peer);  // never reallocates: reserved for kMaxPeers
        EnsureTimer();
    }
}

void LocalServer::Impl::Feed(LocalServerPeer* peer)
{
    if (peer->closed || peer->step == LocalServerPeer::Step::Handling)
        return;
    for (;;)
    {
        char* target;
        size_t wanted;
        if (peer->received < kHeaderSize)
        {
            target = reinterpret_cast<char*>(peer->header.data()) + peer->received;
            wanted = kHeaderSize - peer->received;
        }
        else
        {
            target = peer->payload.data() + (peer->received - kHeaderSize);
            wanted = peer->length - (peer->received - kHeaderSize);
        }
        const ssize_t n = recv(peer->fd, target, wanted, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && IsTemporary(errno))
            return;
        if (n <= 0)
        {
            Close(peer, true);
            return;
        }
        const bool wasHeader = peer->received < kHeaderSize;
        peer->received += static_cast<size_t>(n);
        if (wasHeader && peer->received == kHeaderSize)
        {
            const char expected =
                peer->step == LocalServerPeer::Step::Topic ? kTopicFrame : kExecuteFrame;
            peer->length = (std::uint32_t(peer->header[1]) << 24) |
                           (std::uint32_t(peer->header[2]) << 16) |
                           (std::uint32_t(peer->header[3]) << 8) | std::uint32_t(peer->header[4]);
            // Checked before anything is read into the fixed buffer.
            if (static_cast<char>(peer->header[0]) != expected || peer->length > kMaxPayload)
            {
                Close(peer, true);
                return;
            }
        }
        if (peer->received >= kHeaderSize && peer->received - kHeaderSize == peer->length &&
            !Complete(peer))
            return;
    }
}

// Handles a whole frame; false when the peer is gone or done.
bool LocalServer::Impl::Complete(LocalServerPeer* peer)
{
    const std::shared_ptr<bool> living = alive;
    peer->payload[peer->length] = '\0';
    if (peer->step == LocalServerPeer::Step::Topic)
    {
        peer->topic = wxString::FromUTF8(peer->payload.data(), peer->length);
        peer->inCallback = true;
        LocalConnection* connection = self->OnAcceptConnection(peer->topic);
        peer->inCallback = false;
        if (!*living || peer->closed)
        {
            delete connection;  // never linked: nobody else knows it
            FinishAfterCallback(peer);
            return false;
        }
        if (!connection)
        {
            const char refused = kRefused;
            (void)send(peer->fd, &refused, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            Close(peer, false);
            return false;
        }
        peer->connection = connection;
        connection->m_peer = peer;
        const char accepted = kAccepted;
        if (send(peer->fd, &accepted, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1)
        {
            Close(peer, true);
            return false;
        }
        peer->step = LocalServerPeer::Step::Message;
        peer->received = 0;
        peer->deadline = Clock::now() + kStepDeadline;
        return true;
    }

    // The message: no more reading from this peer while it is handled, even
    // if the handler runs a nested loop (a dialog).
    delete peer->source;
    peer->source = nullptr;
    peer->step = LocalServerPeer::Step::Handling;
    peer->inCallback = true;
    const bool handled = peer->connection->OnExecute(peer->topic, peer->payload.data(),
                                                     peer->length + 1, wxIPC_TEXT);
    peer->inCallback = false;
    if (!*living || peer->closed)
    {
        FinishAfterCallback(peer);
        return false;
    }
    const char answer = handled ? kHandled : kNotHandled;
    (void)send(peer->fd, &answer, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    Close(peer, true);
    return false;
}

// The peer was closed while user code ran for it; nothing else owns it now.
void LocalServer::Impl::FinishAfterCallback(LocalServerPeer* peer)
{
    LocalConnection* connection = peer->connection;
    if (connection)
        connection->m_peer = nullptr;
    const bool notify = peer->notifyPending;
    delete peer;
    if (connection && notify)
        connection->OnDisconnect();
}

// May call user code last (OnDisconnect); callers touch nothing afterwards.
void LocalServer::Impl::Close(LocalServerPeer* peer, bool notify)
{
    if (peer->closed)
        return;
    peer->closed = true;
    peers.erase(std::remove(peers.begin(), peers.end(), peer), peers.end());
    delete peer->source;
    peer->source = nullptr;
    CloseFd(peer->fd);
    peer->fd = -1;
    if (peers.empty() && listenSource)
        timer.Stop();
    if (peer->inCallback)
    {
        peer->notifyPending = peer->notifyPending || notify;
        return;
    }
    LocalConnection* connection = peer->connection;
    if (connection)
        connection->m_peer = nullptr;
    delete peer;
    if (connection && notify)
        connection->OnDisconnect();
}

void LocalServer::Impl::Tick()
{
    try
    {
        const std::shared_ptr<bool> living = alive;
        const auto now = Clock::now();
        for (;;)
        {
            // Looked up afresh each time: OnDisconnect may close other peers.
            const auto expired =
                std::find_if(peers.begin(), peers.end(), [now](LocalServerPeer* peer) {
                    return !peer->inCallback && peer->deadline <= now;
                });
            if (expired == peers.end())
                break;
            Close(*expired, true);
            if (!*living)
                return;
        }
        if (!listenSource)
            Listen();
        if (peers.empty() && listenSource)
            timer.Stop();
    }
    catch (...)
    {
    }
}

LocalServer::LocalServer() : m_impl(new Impl(this)) {}

LocalServer::~LocalServer() = default;

bool LocalServer::Create(const wxString& socketPath)
{
    try
    {
        return m_impl->Create(socketPath);
    }
    catch (...)
    {
        return false;
    }
}

LocalConnection* LocalServer::OnAcceptConnection(const wxString&)
{
    return nullptr;
}

// ---------------------------------------------------------------------------
// Connection

LocalConnection::~LocalConnection()
{
    Disconnect();
}

bool LocalConnection::Disconnect()
{
    if (m_fd >= 0)
    {
        CloseFd(m_fd);
        m_fd = -1;
        return true;
    }
    if (m_peer)
    {
        LocalServerPeer* peer = m_peer;
        m_peer = nullptr;
        peer->connection = nullptr;
        if (!peer->closed)
            peer->owner->Close(peer, false);
        return true;
    }
    return false;
}

bool LocalConnection::Execute(const wxString& data)
{
    try
    {
        if (m_fd < 0 || m_executed)
            return false;
        const wxScopedCharBuffer bytes = data.utf8_str();
        if (bytes.length() > kMaxPayload)
            return false;
        m_executed = true;
        char answer = 0;
        return SendAll(m_fd, MakeFrame(kExecuteFrame, bytes), m_deadline) &&
               ReceiveByte(m_fd, &answer, m_deadline) && answer == kHandled;
    }
    catch (...)
    {
        return false;
    }
}

bool LocalConnection::OnExecute(const wxString&, const void*, size_t, wxIPCFormat)
{
    return false;
}

bool LocalConnection::OnDisconnect()
{
    delete this;
    return true;
}

// ---------------------------------------------------------------------------
// Client side: a second start, before any event loop runs.

LocalConnection* LocalClient::MakeConnection(const wxString&, const wxString& socketPath,
                                             const wxString& topic)
{
    const Clock::time_point deadline = Clock::now() + m_timeout;
    int fd = -1;
    m_peerAnswered = false;
    try
    {
        sockaddr_un address;
        const wxScopedCharBuffer topicBytes = topic.utf8_str();
        if (!FillAddress(socketPath, &address) || topicBytes.length() > kMaxPayload)
            return nullptr;
        fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        char answer = 0;
        if (fd < 0 || !ConnectBy(fd, address, deadline) || !PeerIsSameUser(fd))
        {
            CloseFd(fd);
            return nullptr;
        }
        m_peerAnswered = true;
        if (!SendAll(fd, MakeFrame(kTopicFrame, topicBytes), deadline) ||
            !ReceiveByte(fd, &answer, deadline) || answer != kAccepted)
        {
            CloseFd(fd);
            return nullptr;
        }
        LocalConnection* connection = OnMakeConnection();
        if (!connection)
        {
            CloseFd(fd);
            return nullptr;
        }
        connection->m_fd = fd;
        connection->m_deadline = deadline;
        return connection;
    }
    catch (...)
    {
        CloseFd(fd);
        return nullptr;
    }
}

LocalConnection* LocalClient::OnMakeConnection()
{
    return new (std::nothrow) LocalConnection;
}
