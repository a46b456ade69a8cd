#include "platform/gdbus/status_notifier.h"

#include <gio/gio.h>
#include <unistd.h>

#include <functional>
#include <string>

#include <wx/app.h>

#include "platform/gdbus/session_bus.h"

// The objects' interfaces, embedded at build time from status_notifier.xml.
extern const char status_notifier_xml[];

namespace
{
const char kWatcherName[] = "org.kde.StatusNotifierWatcher";
const char kWatcherPath[] = "/StatusNotifierWatcher";
const char kItemPath[] = "/StatusNotifierItem";
const char kMenuPath[] = "/MenuBar";
const char kItemInterface[] = "org.kde.StatusNotifierItem";
const char kMenuInterface[] = "com.canonical.dbusmenu";
const int kCallTimeoutMs = 2000;

// a(iiay), held for as long as the item lives.
GVariant* PixmapsVariant(const std::vector<StatusNotifierPixmap>& pixmaps)
{
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (const StatusNotifierPixmap& pixmap : pixmaps)
        g_variant_builder_add(&builder, "(ii@ay)", pixmap.width, pixmap.height,
                              g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(),
                                                        pixmap.argb.size(), 1));
    return g_variant_ref_sink(g_variant_builder_end(&builder));
}

class GdbusStatusNotifier : public StatusNotifierIcon
{
public:
    GdbusStatusNotifier(const std::string& title, const std::string& tooltip,
                        const std::vector<StatusNotifierPixmap>& pixmaps,
                        const std::vector<TrayMenuEntry>& menu, StatusNotifierActions actions)
        : m_title(title),
          m_tooltip(tooltip),
          m_pixmaps(PixmapsVariant(pixmaps)),
          m_menu(menu),
          m_actions(std::move(actions))
    {
    }

    ~GdbusStatusNotifier() override
    {
        if (m_session.IsOpen())
            for (guint object : {m_itemObject, m_menuObject})
                if (object)
                    g_dbus_connection_unregister_object(m_bus, object);
        // The connection is ours alone: closing it (with m_session) drops the
        // name, and the watcher takes the item off the tray.
        if (m_node)
            g_dbus_node_info_unref(m_node);
        g_variant_unref(m_pixmaps);
    }

    // Publishes the item and registers it with the watcher now on the bus.
    bool Start()
    {
        if (!m_session.IsOpen())
            return false;
        m_bus = m_session.Connection();

        m_watcherOwner = m_session.NameOwner(kWatcherName, kCallTimeoutMs);
        if (m_watcherOwner.empty())
            return false;

        m_node = g_dbus_node_info_new_for_xml(status_notifier_xml, nullptr);
        static const GDBusInterfaceVTable vtable = {&OnMethodCall, &OnGetProperty, nullptr, {}};
        m_itemObject = g_dbus_connection_register_object(m_bus, kItemPath, m_node->interfaces[0],
                                                         &vtable, this, nullptr, nullptr);
        m_menuObject = g_dbus_connection_register_object(m_bus, kMenuPath, m_node->interfaces[1],
                                                         &vtable, this, nullptr, nullptr);
        if (!m_itemObject || !m_menuObject)
            return false;

        // The name hosts know items by; unique within the session.
        static int serial = 0;
        m_name = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
                 std::to_string(++serial);
        GVariant* requested = m_session.CallBus(
            "RequestName", g_variant_new("(su)", m_name.c_str(), 4u /* do not queue */), "(u)",
            kCallTimeoutMs);
        guint32 result = 0;
        if (requested)
        {
            g_variant_get(requested, "(u)", &result);
            g_variant_unref(requested);
        }
        if (result != 1 /* primary owner */)
            return false;

        GVariant* registered =
            m_session.Call(kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
                           g_variant_new("(s)", m_name.c_str()), nullptr, kCallTimeoutMs);
        if (!registered)
            return false;
        g_variant_unref(registered);

        // A watcher that restarts (the bar restarted, say) has forgotten us.
        m_session.WatchOwner(kWatcherName, [this](const std::string& owner) {
            if (owner.empty() || owner == m_watcherOwner)
                return;
            m_watcherOwner = owner;
            // No reply is awaited, so nothing refers to us once we are gone.
            g_dbus_connection_call(m_bus, kWatcherName, kWatcherPath, kWatcherName,
                                   "RegisterStatusNotifierItem",
                                   g_variant_new("(s)", m_name.c_str()), nullptr,
                                   G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr,
                                   nullptr);
        });
        return true;
    }

private:

    // The host's request runs after its reply has gone: the exit question is
    // a modal dialog, and the host would wait for us all along.
    void Later(std::function<void()> action)
    {
        if (!action || !wxTheApp)
            return;
        std::weak_ptr<bool> alive = m_alive;
        wxTheApp->CallAfter([alive, action] {
            if (!alive.expired())
                action();
        });
    }

    // dbusmenu ids: 0 is the root, entry n of the menu is n + 1.
    bool IsItem(gint32 id) const { return id >= 1 && size_t(id) <= m_menu.size(); }

    GVariant* ItemProperties(gint32 id, GVariant* wanted) const
    {
        GVariantBuilder props;
        g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
        auto add = [&](const char* name, GVariant* value) {
            const gchar** names = wanted ? g_variant_get_strv(wanted, nullptr) : nullptr;
            const bool keep = !names || !*names || g_strv_contains(names, name);
            g_free(names);
            if (keep)
                g_variant_builder_add(&props, "{sv}", name, value);
            else
                g_variant_unref(g_variant_ref_sink(value));
        };
        if (id == 0)
            add("children-display", g_variant_new_string("submenu"));
        else if (m_menu[id - 1].label.empty())
            add("type", g_variant_new_string("separator"));
        else
        {
            add("label", g_variant_new_string(DbusMenuLabel(std::string(m_menu[id - 1].label.utf8_str())).c_str()));
            add("enabled", g_variant_new_boolean(TRUE));
            add("visible", g_variant_new_boolean(TRUE));
        }
        return g_variant_builder_end(&props);
    }

    GVariant* Layout(gint32 id, gint32 depth, GVariant* wanted) const
    {
        GVariantBuilder children;
        g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
        if (id == 0 && depth != 0)
            for (gint32 child = 1; IsItem(child); ++child)
                g_variant_builder_add(&children, "v", Layout(child, depth - 1, wanted));
        return g_variant_new("(i@a{sv}av)", id, ItemProperties(id, wanted), &children);
    }

    // Whether the click was on an entry; only then does it act.
    bool Click(gint32 id, const gchar* event)
    {
        if (!IsItem(id))
            return false;
        const TrayMenuEntry& entry = m_menu[id - 1];
        if (g_strcmp0(event, "clicked") == 0 && !entry.label.empty() && m_actions.menu)
        {
            const int chosen = entry.id;
            auto menu = m_actions.menu;
            Later([menu, chosen] { menu(chosen); });
        }
        return true;
    }

    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                             const gchar* method, GVariant* args, GDBusMethodInvocation* call,
                             gpointer data)
    {
        auto* self = static_cast<GdbusStatusNotifier*>(data);
        auto unknownItem = [call] {
            g_dbus_method_invocation_return_dbus_error(
                call, "org.freedesktop.DBus.Error.InvalidArgs", "No such menu item");
        };
        const std::string name = method;
        if (g_strcmp0(interface, kItemInterface) == 0)
        {
            if (name == "Activate")
                self->Later(self->m_actions.activate);
            // The host shows our dbusmenu itself; the rest has no meaning here.
            g_dbus_method_invocation_return_value(call, nullptr);
        }
        else if (name == "GetLayout")
        {
            gint32 parent = 0, depth = 0;
            GVariant* wanted = nullptr;
            g_variant_get(args, "(ii@as)", &parent, &depth, &wanted);
            if (parent == 0 || self->IsItem(parent))
                g_dbus_method_invocation_return_value(
                    call, g_variant_new("(u@(ia{sv}av))", 1u, self->Layout(parent, depth, wanted)));
            else
                unknownItem();
            g_variant_unref(wanted);
        }
        else if (name == "GetGroupProperties")
        {
            GVariant* ids = nullptr;
            GVariant* wanted = nullptr;
            g_variant_get(args, "(@ai@as)", &ids, &wanted);
            GVariantBuilder found;
            g_variant_builder_init(&found, G_VARIANT_TYPE("a(ia{sv})"));
            gsize count = 0;
            const gint32* list = static_cast<const gint32*>(
                g_variant_get_fixed_array(ids, &count, sizeof(gint32)));
            for (gsize i = 0; i < count; ++i)
                if (list[i] == 0 || self->IsItem(list[i]))
                    g_variant_builder_add(&found, "(i@a{sv})", list[i],
                                          self->ItemProperties(list[i], wanted));
            g_dbus_method_invocation_return_value(call, g_variant_new("(a(ia{sv}))", &found));
            g_variant_unref(ids);
            g_variant_unref(wanted);
        }
        else if (name == "GetProperty")
        {
            gint32 id = 0;
            const gchar* property = nullptr;
            g_variant_get(args, "(i&s)", &id, &property);
            GVariant* value = nullptr;
            if (id == 0 || self->IsItem(id))
            {
                GVariant* props = g_variant_ref_sink(self->ItemProperties(id, nullptr));
                value = g_variant_lookup_value(props, property, nullptr);
                g_variant_unref(props);
            }
            if (value)
                g_dbus_method_invocation_return_value(call, g_variant_new("(@v)",
                                                                          g_variant_new_variant(value)));
            else
                unknownItem();
            if (value)
                g_variant_unref(value);
        }
        else if (name == "Event")
        {
            gint32 id = 0;
            const gchar* event = nullptr;
            g_variant_get(args, "(i&svu)", &id, &event, nullptr, nullptr);
            if (self->Click(id, event))
                g_dbus_method_invocation_return_value(call, nullptr);
            else
                unknownItem();
        }
        else if (name == "EventGroup")
        {
            GVariantIter* events = nullptr;
            g_variant_get(args, "(a(isvu))", &events);
            GVariantBuilder errors;
            g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
            gint32 id = 0;
            const gchar* event = nullptr;
            while (g_variant_iter_next(events, "(i&svu)", &id, &event, nullptr, nullptr))
                if (!self->Click(id, event))
                    g_variant_builder_add(&errors, "i", id);
            g_variant_iter_free(events);
            g_dbus_method_invocation_return_value(call, g_variant_new("(ai)", &errors));
        }
        else if (name == "AboutToShow")
        {
            gint32 id = 0;
            g_variant_get(args, "(i)", &id);
            if (id == 0 || self->IsItem(id))
                g_dbus_method_invocation_return_value(call, g_variant_new("(b)", FALSE));
            else
                unknownItem();
        }
        else if (name == "AboutToShowGroup")
        {
            GVariantIter* ids = nullptr;
            g_variant_get(args, "(ai)", &ids);
            GVariantBuilder errors;
            g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
            gint32 id = 0;
            while (g_variant_iter_next(ids, "i", &id))
                if (id != 0 && !self->IsItem(id))
                    g_variant_builder_add(&errors, "i", id);
            g_variant_iter_free(ids);
            g_dbus_method_invocation_return_value(call, g_variant_new("(@ai@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0),
                                                g_variant_builder_end(&errors)));
        }
        else
            g_dbus_method_invocation_return_dbus_error(
                call, "org.freedesktop.DBus.Error.UnknownMethod", "No such method");
    }

    static GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*,
                                   const gchar* interface, const gchar* property, GError** error,
                                   gpointer data)
    {
        auto* self = static_cast<GdbusStatusNotifier*>(data);
        const std::string name = property;
        if (g_strcmp0(interface, kMenuInterface) == 0)
        {
            if (name == "Version")
                return g_variant_new_uint32(3);
            if (name == "TextDirection")
                return g_variant_new_string("ltr");
            if (name == "Status")
                return g_variant_new_string("normal");
            if (name == "IconThemePath")
                return g_variant_new_strv(nullptr, 0);
        }
        else if (name == "Category")
            return g_variant_new_string("ApplicationStatus");
        else if (name == "Id" || name == "Title")
            return g_variant_new_string(self->m_title.c_str());
        else if (name == "Status")
            return g_variant_new_string("Active");
        else if (name == "WindowId")
            return g_variant_new_int32(0);
        else if (name == "IconPixmap")
            return g_variant_ref(self->m_pixmaps);
        else if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap")
            return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
        else if (name == "ToolTip")
            return g_variant_new("(s@a(iiay)ss)", "",
                                 g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0),
                                 self->m_tooltip.c_str(), "");
        else if (name == "ItemIsMenu")
            return g_variant_new_boolean(FALSE);
        else if (name == "Menu")
            return g_variant_new_object_path(kMenuPath);
        else if (g_str_has_suffix(property, "Name"))
            return g_variant_new_string("");
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", property);
        return nullptr;
    }

    SessionBus m_session;
    GDBusConnection* m_bus = nullptr;  // m_session's
    GDBusNodeInfo* m_node = nullptr;
    guint m_itemObject = 0;
    guint m_menuObject = 0;
    std::string m_name;
    std::string m_watcherOwner;
    const std::string m_title;
    const std::string m_tooltip;
    GVariant* const m_pixmaps;
    const std::vector<TrayMenuEntry> m_menu;
    const StatusNotifierActions m_actions;
    // Requests queued for the event loop are dropped once the icon is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
}  // namespace

std::string DbusMenuLabel(const std::string& in)
{
    std::string out;
    for (size_t i = 0; i < in.size(); ++i)
    {
        if (in[i] == '_')
            out += "__";
        else if (in[i] == '&' && i + 1 < in.size() && in[i + 1] == '&')
            out += in[++i];
        else
            out += in[i] == '&' ? '_' : in[i];
    }
    return out;
}

std::unique_ptr<StatusNotifierIcon> StartStatusNotifierItem(
    const std::string& title, const std::string& tooltip,
    const std::vector<StatusNotifierPixmap>& pixmaps, const std::vector<TrayMenuEntry>& menu,
    StatusNotifierActions actions)
{
    if (!SessionBus::Exists())
        return nullptr;
    auto icon = std::make_unique<GdbusStatusNotifier>(title, tooltip, pixmaps, menu, std::move(actions));
    if (!icon->Start())
        return nullptr;
    return icon;
}
