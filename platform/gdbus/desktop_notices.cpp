// Notices through the session's notification service
// (org.freedesktop.Notifications), called without waiting: the toolkit's
// own notices go through libnotify, which waits for each answer, and a
// service that never answers froze the GUI for its whole time-out.
#include "platform/desktop_notices.h"

#include <gio/gio.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include <wx/app.h>

#include "platform/gdbus/session_bus.h"

namespace
{
// A running service answers in milliseconds; a call still unanswered then
// is given up, and with it only that notice.
constexpr int kNotifyTimeoutMs = 3000;
// Notices asked for before the connection is open; more are not kept.
constexpr std::size_t kMostWaiting = 8;
constexpr char kDesktopEntry[] = "example.pellowen.Corvalin";

// What the calls in flight share with the notices object, which may be
// gone by the time they end.
struct Shared
{
    GDBusConnection* connection = nullptr;
    bool failed = false;  // no connection could be opened
    bool complained = false;
    std::deque<std::pair<std::string, std::string>> waiting;
    std::string appName;

    ~Shared()
    {
        if (connection)
            g_object_unref(connection);
    }

    // Said once a run: the user learns why notices are missing, and a
    // stuck service does not fill the terminal.
    void Complain(const char* what)
    {
        if (complained)
            return;
        complained = true;
        std::fprintf(stderr, "Corvalin: the desktop's notification service %s; notices may be lost.\n",
                     what);
    }

    void Send(const std::string& title, const std::string& text)
    {
        GVariantBuilder hints;
        g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(kDesktopEntry));
        g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
        // No id to replace: each notice is one of its own.
        g_dbus_connection_call(
            connection, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
            "org.freedesktop.Notifications", "Notify",
            g_variant_new("(susssasa{sv}i)", appName.c_str(), 0u, kDesktopEntry, title.c_str(),
                          text.c_str(), nullptr, &hints, -1),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kNotifyTimeoutMs, nullptr, &Sent,
            new std::shared_ptr<Shared>(Self()));
    }

    static void Sent(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<std::shared_ptr<Shared>> shared(static_cast<std::shared_ptr<Shared>*>(data));
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (reply)
            g_variant_unref(reply);
        else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
            (*shared)->Complain("does not answer");
        else
            (*shared)->Complain(("refused a notice (" + std::string(error ? error->message : "?") + ")").c_str());
        g_clear_error(&error);
    }

    static void Opened(GObject*, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<std::shared_ptr<Shared>> shared(static_cast<std::shared_ptr<Shared>*>(data));
        Shared& self = **shared;
        GError* error = nullptr;
        self.connection = g_dbus_connection_new_for_address_finish(result, &error);
        g_clear_error(&error);
        if (!self.connection)
        {
            self.failed = true;
            self.waiting.clear();
            self.Complain("cannot be reached (no session bus)");
            return;
        }
        g_dbus_connection_set_exit_on_close(self.connection, FALSE);
        for (const auto& notice : self.waiting)
            self.Send(notice.first, notice.second);
        self.waiting.clear();
    }

    std::shared_ptr<Shared> Self() { return m_self.lock(); }
    std::weak_ptr<Shared> m_self;
};

class BusNotices final : public DesktopNotices
{
public:
    BusNotices() : m_shared(std::make_shared<Shared>())
    {
        m_shared->m_self = m_shared;
        const wxAppConsole* app = wxAppConsole::GetInstance();
        m_shared->appName = app ? app->GetAppName().utf8_string() : std::string("Corvalin");
        gchar* address = SessionBus::Exists()
                             ? g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)
                             : nullptr;
        if (!address)
        {
            m_shared->failed = true;
            return;
        }
        // A private connection, opened without waiting: the bus daemon
        // itself may be the one that is stuck.
        g_dbus_connection_new_for_address(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &Shared::Opened, new std::shared_ptr<Shared>(m_shared));
        g_free(address);
    }

    void Show(const wxString& title, const wxString& text) override
    {
        Shared& shared = *m_shared;
        if (shared.failed)
        {
            shared.Complain("cannot be reached (no session bus)");
            return;
        }
        if (!shared.connection)
        {
            if (shared.waiting.size() < kMostWaiting)
                shared.waiting.emplace_back(title.utf8_string(), text.utf8_string());
            return;
        }
        shared.Send(title.utf8_string(), text.utf8_string());
    }

private:
    // Calls in flight hold it too: it lives until the last has ended.
    std::shared_ptr<Shared> m_shared;
};
}  // namespace

std::unique_ptr<DesktopNotices> CreateDesktopNotices(wxWindow*)
{
    return std::make_unique<BusNotices>();
}
