#pragma once

// Messages for us on the session bus, for the backends that learn the focus
// from D-Bus (a KWin script calls us, a GNOME Shell extension signals).
//
// GDBus reads the bus on a thread of its own and would hand the messages to
// the main loop only: the inbox takes them off that thread as they arrive,
// so that a backend can wait for its first report before the main loop runs
// (a backend is accepted only once it has reported), and afterwards hands
// them to the main loop in arrival order through a pipe.

#include <gio/gio.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdbus/session_bus.h"

class wxEventLoopSource;

class DbusInbox
{
public:
    // Called from the main loop (or from Wait) with each accepted message.
    using Handler = std::function<void(GDBusMessage* message)>;

    // Opens a private connection to the session bus; IsOpen() says whether
    // that worked.
    explicit DbusInbox(Handler handler);
    ~DbusInbox();
    DbusInbox(const DbusInbox&) = delete;
    DbusInbox& operator=(const DbusInbox&) = delete;

    bool IsOpen() const { return m_bus.IsOpen(); }
    // Its connection, for calls of the inbox's owner and its name to peers.
    SessionBus& Bus() { return m_bus; }

    // Method calls to this object path are accepted and answered with an
    // empty reply.
    void AcceptMethodCalls(const std::string& objectPath);
    // Signals of this interface (any member) are accepted; asks the bus to
    // route them to us.  False when the bus refused.
    bool AcceptSignals(const std::string& interface);

    // Called from the main loop after a peer sent us a message far larger
    // than any report: GDBus keeps a read buffer as large as the largest
    // message for as long as the connection lives, so the owner should open
    // a new connection to give that memory back.
    void OnOversized(std::function<void()> handler) { m_onOversized = std::move(handler); }

    // Hands queued messages to the handler; waits up to timeoutMs for one
    // when none is queued.  False when nothing came.
    bool Wait(int timeoutMs);
    // From now on the main loop hands each message to the handler.
    void ServeFromMainLoop();

private:
    static GDBusMessage* Filter(GDBusConnection*, GDBusMessage* message, gboolean incoming,
                                gpointer self);
    void Drain();
    class PipeReader;

    Handler m_handler;
    SessionBus m_bus;
    guint m_filter = 0;
    int m_pipe[2] = {-1, -1};
    wxEventLoopSource* m_source = nullptr;
    std::unique_ptr<PipeReader> m_reader;
    std::vector<guint> m_subscriptions;
    std::function<void()> m_onOversized;
    bool m_oversized = false;  // guarded by m_mutex
    std::vector<std::unique_ptr<std::function<void(GVariant*)>>> m_callbacks;

    std::mutex m_mutex;  // guards what the bus thread touches
    std::string m_methodPath;
    std::string m_signalInterface;
    std::deque<GDBusMessage*> m_queue;
};
