// The tray icon for hosts that speak only StatusNotifierItem, with its menu
// over dbusmenu, on GDBus.  Written here rather than through
// libayatana-appindicator because AppIndicator never passes on the primary
// click, and that click shows or hides the frame.
#include "platform/tray.h"

#include <wx/taskbar.h>
#include "platform/gdbus/session_bus.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gio/gio.h>
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/image.h>

namespace
{
const char kWatcherName[] = "org.kde.StatusNotifierWatcher";
const char kWatcherPath[] = "/StatusNotifierWatcher";
const char kItemPath[] = "/StatusNotifierItem";
const char kMenuPath[] = "/MenuBar";
const char kItemInterface[] = "org.kde.StatusNotifierItem";
const char kMenuInterface[] = "com.canonical.dbusmenu";
const int kCallTimeoutMs = 2000;

// GDBus checks every call's arguments against these signatures and answers a
// mismatch with an error itself, so the handlers below see only sound calls.
const char kIntrospection[] = R"xml(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i"/><arg name="y" type="i"/></method>
  <method name="Activate"><arg name="x" type="i"/><arg name="y" type="i"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i"/><arg name="y" type="i"/></method>
  <method name="Scroll"><arg name="delta" type="i"/><arg name="orientation" type="s"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
 </interface>
 <interface name="com.canonical.dbusmenu">
  <property name="Version" type="u" access="read"/>
  <property name="TextDirection" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="IconThemePath" type="as" access="read"/>
  <method name="GetLayout">
   <arg name="parentId" type="i"/><arg name="recursionDepth" type="i"/>
   <arg name="propertyNames" type="as"/>
   <arg name="revision" type="u" direction="out"/><arg name="layout" type="(ia{sv}av)" direction="out"/>
  </method>
  <method name="GetGroupProperties">
   <arg name="ids" type="ai"/><arg name="propertyNames" type="as"/>
   <arg name="properties" type="a(ia{sv})" direction="out"/>
  </method>
  <method name="GetProperty">
   <arg name="id" type="i"/><arg name="name" type="s"/><arg name="value" type="v" direction="out"/>
  </method>
  <method name="Event">
   <arg name="id" type="i"/><arg name="eventId" type="s"/><arg name="data" type="v"/>
   <arg name="timestamp" type="u"/>
  </method>
  <method name="EventGroup">
   <arg name="events" type="a(isvu)"/><arg name="idErrors" type="ai" direction="out"/>
  </method>
  <method name="AboutToShow">
   <arg name="id" type="i"/><arg name="needUpdate" type="b" direction="out"/>
  </method>
  <method name="AboutToShowGroup">
   <arg name="ids" type="ai"/>
   <arg name="updatesNeeded" type="ai" direction="out"/><arg name="idErrors" type="ai" direction="out"/>
  </method>
  <signal name="ItemsPropertiesUpdated">
   <arg name="updatedProps" type="a(ia{sv})"/><arg name="removedProps" type="a(ias)"/>
  </signal>
  <signal name="LayoutUpdated"><arg name="revision" type="u"/><arg name="parent" type="i"/></signal>
  <signal name="ItemActivationRequested"><arg name="id" type="i"/><arg name="timestamp" type="u"/></signal>
 </interface>
</node>)xml";

std::string Utf8(const wxString& text)
{
    return std::string(text.utf8_str());
}

// dbusmenu marks the mnemonic with '_' where the toolkit uses '&'.
std::string MenuLabel(const wxString& label)
{
    std::string out;
    const std::string in = Utf8(label);
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

// a(iiay): each size of the icon as ARGB32 in network byte order.
GVariant* IconPixmaps(const wxIconBundle& icons)
{
    GVariantBuilder pixmaps;
    g_variant_builder_init(&pixmaps, G_VARIANT_TYPE("a(iiay)"));
    for (size_t n = 0; n < icons.GetIconCount(); ++n)
    {
        wxImage image = wxBitmap(icons.GetIconByIndex(n)).ConvertToImage();
        if (!image.IsOk())
            continue;
        if (!image.HasAlpha())
            image.InitAlpha();  // the mask becomes transparency
        const int width = image.GetWidth(), height = image.GetHeight();
        const unsigned char* rgb = image.GetData();
        const unsigned char* alpha = image.GetAlpha();
        std::string argb;
        argb.reserve(size_t(width) * height * 4);
        for (int i = 0; i < width * height; ++i)
        {
            argb += char(alpha[i]);
            argb.append(reinterpret_cast<const char*>(rgb + 3 * i), 3);
        }
        g_variant_builder_add(&pixmaps, "(ii@ay)", width, height,
                              g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(),
                                                        argb.size(), 1));
    }
    return g_variant_ref_sink(g_variant_builder_end(&pixmaps));
}

class GdbusStatusNotifier : public StatusNotifierIcon
{
public:
    GdbusStatusNotifier(const wxIconBundle& icons, const wxString& title, const wxString& tooltip,
                        const std::vector<TrayMenuEntry>& menu, StatusNotifierActions actions)
        : m_title(Utf8(title)),
          m_tooltip(Utf8(tooltip)),
          m_pixmaps(IconPixmaps(icons)),
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

        m_node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
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
            add("label", g_variant_new_string(MenuLabel(m_menu[id - 1].label).c_str()));
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

std::unique_ptr<StatusNotifierIcon> CreateStatusNotifierIcon(
    const wxIconBundle& icons, const wxString& title, const wxString& tooltip,
    const std::vector<TrayMenuEntry>& menu, StatusNotifierActions actions)
{
    if (!SessionBus::Exists())
        return nullptr;
    auto icon = std::make_unique<GdbusStatusNotifier>(icons, title, tooltip, menu, std::move(actions));
    if (!icon->Start())
        return nullptr;
    return icon;
}

// GTK's status icon reports success even with no notification area and
// would wait for one silently; on X11 the area exists while some client owns
// the selection _NET_SYSTEM_TRAY_S<screen>, which is what the toolkit asks.
bool IsTrayAvailable()
{
    return wxTaskBarIcon::IsAvailable();
}

