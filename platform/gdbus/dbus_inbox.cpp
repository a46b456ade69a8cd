#include "platform/gdbus/dbus_inbox.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>

class DbusInbox::PipeReader final : public wxEventLoopSourceHandler
{
public:
    explicit PipeReader(std::function<void()> onRead) : m_onRead(std::move(onRead)) {}
    void OnReadWaiting() override { m_onRead(); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override { m_onRead(); }

private:
    std::function<void()> m_onRead;
};

namespace
{
// Far above any report of ours (a title is cut to a few hundred characters
// by the script or extension that sends it); anything larger is a peer's
// abuse and is dropped unread.
constexpr gsize kLargestMessage = 256 * 1024;
}  // namespace

DbusInbox::DbusInbox(Handler handler) : m_handler(std::move(handler))
{
    // GDBus reads each message whole into memory on its own thread.  glibc
    // would otherwise raise its threshold for mapping large blocks after
    // the first huge one was freed, and keep the next ones in its heap for
    // good: a peer's few big messages would stay as our memory.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    // The filter sees only this connection's traffic, and closing it ends
    // every subscription at once.
    if (!m_bus.IsOpen())
        return;
    m_filter = g_dbus_connection_add_filter(m_bus.Connection(), &DbusInbox::Filter, this, nullptr);
}

DbusInbox::~DbusInbox()
{
    delete m_source;
    m_reader.reset();
    // Once removed, the bus thread never calls the filter again; the
    // connection itself closes with m_bus, after this.
    if (m_bus.IsOpen())
        g_dbus_connection_remove_filter(m_bus.Connection(), m_filter);
    for (GDBusMessage* message : m_queue)
        g_object_unref(message);
    for (int fd : m_pipe)
        if (fd >= 0)
            close(fd);
}

void DbusInbox::AcceptMethodCalls(const std::string& objectPath)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_methodPath = objectPath;
}

bool DbusInbox::AcceptSignals(const std::string& interface)
{
    if (!m_bus.IsOpen())
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalInterface = interface;
    }
    const std::string rule = "type='signal',interface='" + interface + "'";
    GVariant* reply = m_bus.CallBus("AddMatch", g_variant_new("(s)", rule.c_str()), nullptr, 2000);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

// On GDBus's own thread, for every message in or out.
GDBusMessage* DbusInbox::Filter(GDBusConnection* connection, GDBusMessage* message,
                                gboolean incoming, gpointer data)
{
    if (!incoming)
        return message;
    auto* self = static_cast<DbusInbox*>(data);
    const GDBusMessageType type = g_dbus_message_get_message_type(message);
    const char* path = g_dbus_message_get_path(message);
    const char* interface = g_dbus_message_get_interface(message);
    bool take = false;
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        if (type == G_DBUS_MESSAGE_TYPE_METHOD_CALL && path && !self->m_methodPath.empty())
            take = self->m_methodPath == path;
        else if (type == G_DBUS_MESSAGE_TYPE_SIGNAL && interface &&
                 !self->m_signalInterface.empty())
            take = self->m_signalInterface == interface;
    }
    if (!take)
        return message;
    GVariant* body = g_dbus_message_get_body(message);
    const bool oversized = body && g_variant_get_size(body) > kLargestMessage;
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        if (oversized)
            self->m_oversized = true;
        else
            self->m_queue.push_back(G_DBUS_MESSAGE(g_object_ref(message)));
    }
    if (type == G_DBUS_MESSAGE_TYPE_METHOD_CALL &&
        !(g_dbus_message_get_flags(message) & G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED))
    {
        // The caller is told at once that it was heard; what it said is
        // looked at on the main loop.
        GDBusMessage* reply = g_dbus_message_new_method_reply(message);
        g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE,
                                       nullptr, nullptr);
        g_object_unref(reply);
    }
    const char wake = 1;
    ssize_t ignored = write(self->m_pipe[1], &wake, 1);  // a full pipe wakes as well
    (void)ignored;
    g_object_unref(message);
    return nullptr;
}

void DbusInbox::Drain()
{
    char bytes[256];
    while (read(m_pipe[0], bytes, sizeof bytes) > 0)
    {
    }
    for (;;)
    {
        GDBusMessage* message = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_queue.empty())
            {
                if (!m_oversized || !m_onOversized)
                    return;
                m_oversized = false;
            }
            else
            {
                message = m_queue.front();
                m_queue.pop_front();
            }
        }
        if (!message)
        {
            m_onOversized();
            return;
        }
        m_handler(message);
        g_object_unref(message);
    }
}

bool DbusInbox::Wait(int timeoutMs)
{
    if (m_pipe[0] < 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_queue.empty())
            timeoutMs = 0;
    }
    pollfd waiting{m_pipe[0], POLLIN, 0};
    int ready;
    do
        ready = poll(&waiting, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    bool any = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        any = !m_queue.empty();
    }
    Drain();
    return any;
}

void DbusInbox::ServeFromMainLoop()
{
    if (m_source || m_pipe[0] < 0)
        return;
    m_reader.reset(new PipeReader([this] { Drain(); }));
    // The toolkit's main loop watches the pipe from now on, also when it
    // has not started yet.
    m_source = wxEventLoopBase::AddSourceForFD(m_pipe[0], m_reader.get(), wxEVENT_SOURCE_INPUT);
    // Messages that came in before.
    Drain();
}
