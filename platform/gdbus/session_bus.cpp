#include "platform/gdbus/session_bus.h"

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace
{
// A running bus daemon answers the connection's greeting in milliseconds.
constexpr int kConnectTimeoutMs = 2000;
}  // namespace

bool SessionBus::Exists()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info;
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
           S_ISSOCK(info.st_mode);
}

SessionBus::SessionBus()
{
    if (!Exists())
        return;
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!address)
    {
        g_clear_error(&error);
        return;
    }
    // A bus daemon that accepts and never answers must not hold us: the
    // attempt is cancelled at its deadline from a thread of its own.
    GCancellable* cancellable = g_cancellable_new();
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread deadline([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!done.wait_for(lock, std::chrono::milliseconds(kConnectTimeoutMs), [&] { return finished; }))
            g_cancellable_cancel(cancellable);
    });
    m_connection = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable, &error);
    {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
    }
    done.notify_one();
    deadline.join();
    g_object_unref(cancellable);
    if (!m_connection && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        std::fputs("Corvalin: the session bus did not answer in time; going on without it.\n", stderr);
    g_free(address);
    g_clear_error(&error);
    // The bus going away is something its users notice and say; it must
    // never end the program.
    if (m_connection)
        g_dbus_connection_set_exit_on_close(m_connection, FALSE);
}

SessionBus::~SessionBus()
{
    if (!m_connection)
        return;
    for (guint subscription : m_subscriptions)
        g_dbus_connection_signal_unsubscribe(m_connection, subscription);
    // Closed without waiting: a stuck peer could keep a flush from ending.
    g_dbus_connection_close(m_connection, nullptr, nullptr, nullptr);
    g_object_unref(m_connection);
}

std::string SessionBus::UniqueName() const
{
    const gchar* name = m_connection ? g_dbus_connection_get_unique_name(m_connection) : nullptr;
    return name ? name : "";
}

GVariant* SessionBus::Call(const char* destination, const char* path, const char* interface,
                           const char* method, GVariant* arguments, const char* replyType,
                           int timeoutMs)
{
    if (!m_connection)
    {
        if (arguments)
            g_variant_unref(g_variant_ref_sink(arguments));
        return nullptr;
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        m_connection, destination, path, interface, method, arguments,
        replyType ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
        timeoutMs > 0 ? timeoutMs : 1, nullptr, &error);
    g_clear_error(&error);
    return reply;
}

GVariant* SessionBus::CallBus(const char* method, GVariant* arguments, const char* replyType,
                              int timeoutMs)
{
    return Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
                arguments, replyType, timeoutMs);
}

std::string SessionBus::NameOwner(const char* name, int timeoutMs)
{
    GVariant* reply = CallBus("GetNameOwner", g_variant_new("(s)", name), "(s)", timeoutMs);
    if (!reply)
        return std::string();
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    std::string result = owner ? owner : "";
    g_variant_unref(reply);
    return result;
}

void SessionBus::Subscribe(const char* sender, const char* interface, const char* member,
                           const char* arg0, std::function<void(GVariant*)> callback)
{
    if (!m_connection)
        return;
    m_callbacks.push_back(std::make_unique<std::function<void(GVariant*)>>(std::move(callback)));
    // Delivered in the main context, which is the toolkit's main loop.
    m_subscriptions.push_back(g_dbus_connection_signal_subscribe(
        m_connection, sender, interface, member, nullptr, arg0, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* parameters, gpointer data) {
            (*static_cast<std::function<void(GVariant*)>*>(data))(parameters);
        },
        m_callbacks.back().get(), nullptr));
}

void SessionBus::WatchOwner(const char* name, std::function<void(const std::string&)> callback)
{
    Subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged", name,
              [callback = std::move(callback)](GVariant* parameters) {
                  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sss)")))
                      return;
                  const gchar *changed, *oldOwner, *newOwner;
                  g_variant_get(parameters, "(&s&s&s)", &changed, &oldOwner, &newOwner);
                  callback(newOwner);
              });
}
