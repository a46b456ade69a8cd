/* A notification service of the tests' own: owns org.freedesktop.Notifications
 * on the session bus and appends each notice to FILE as
 * "<ms since start>\t<app>\t<summary>\t<body>"; FILE is made once the name is
 * ours, so that a test can wait for it.  With --silent it writes each notice
 * down but never answers a Notify, like a hung service.
 * Usage: notification_sink FILE [--silent] */
#include <gio/gio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char kInterface[] =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
    "<method name='GetServerInformation'><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/></method>"
    "<method name='Notify'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='as' direction='in'/><arg type='a{sv}' direction='in'/>"
    "<arg type='i' direction='in'/><arg type='u' direction='out'/></method>"
    "<method name='CloseNotification'><arg type='u' direction='in'/></method>"
    "</interface></node>";

static const char* g_path;
static gint64 g_started;
static guint32 g_lastId;
static int g_silent;

static void OnCall(GDBusConnection* bus, const char* sender, const char* object,
                   const char* interface, const char* method, GVariant* parameters,
                   GDBusMethodInvocation* call, gpointer data)
{
    (void)bus, (void)sender, (void)object, (void)interface, (void)data;
    if (strcmp(method, "GetCapabilities") == 0)
    {
        const char* capabilities[] = {"body", NULL};
        g_dbus_method_invocation_return_value(call, g_variant_new("(^as)", capabilities));
    }
    else if (strcmp(method, "GetServerInformation") == 0)
        g_dbus_method_invocation_return_value(
            call, g_variant_new("(ssss)", "notification_sink", "Corvalin tests", "1", "1.2"));
    else if (strcmp(method, "Notify") == 0)
    {
        const char *app, *icon, *summary, *body;
        guint32 replaces;
        g_variant_get(parameters, "(&su&s&s&s@as@a{sv}i)", &app, &replaces, &icon, &summary,
                      &body, NULL, NULL, NULL);
        FILE* file = fopen(g_path, "a");
        if (file)
        {
            fprintf(file, "%lld\t%u\t%s\t%s\t%s\n",
                    (long long)((g_get_monotonic_time() - g_started) / 1000), replaces, app, summary,
                    body);
            fclose(file);
        }
        /* The invocation is kept, never answered: the caller waits. */
        if (g_silent)
            g_object_ref(call);
        else
            g_dbus_method_invocation_return_value(
                call, g_variant_new("(u)", replaces ? replaces : ++g_lastId));
    }
    else
        g_dbus_method_invocation_return_value(call, NULL);
}

static void OnBus(GDBusConnection* bus, const char* name, gpointer node)
{
    static const GDBusInterfaceVTable vtable = {OnCall, NULL, NULL, {0}};
    (void)name;
    g_dbus_connection_register_object(bus, "/org/freedesktop/Notifications",
                                      ((GDBusNodeInfo*)node)->interfaces[0], &vtable, NULL, NULL,
                                      NULL);
}

static void OnOwned(GDBusConnection* bus, const char* name, gpointer data)
{
    (void)bus, (void)name, (void)data;
    fclose(fopen(g_path, "a"));
}

static void OnLost(GDBusConnection* bus, const char* name, gpointer data)
{
    (void)bus, (void)data;
    fprintf(stderr, "notification_sink: %s is not ours\n", name);
    exit(1);
}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
        return 2;
    g_path = argv[1];
    g_silent = argc == 3 && strcmp(argv[2], "--silent") == 0;
    g_started = g_get_monotonic_time();
    g_bus_own_name(G_BUS_TYPE_SESSION, "org.freedesktop.Notifications", G_BUS_NAME_OWNER_FLAGS_NONE,
                   OnBus, OnOwned, OnLost, g_dbus_node_info_new_for_xml(kInterface, NULL), NULL);
    g_main_loop_run(g_main_loop_new(NULL, FALSE));
    return 0;
}
