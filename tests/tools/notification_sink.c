/* A desktop notification service of the tests' own: owns
 * org.freedesktop.Notifications on the session bus, answers as a desktop's
 * would, and appends each notice to a file as one line:
 * "<ms since start>\t<app name>\t<summary>\t<body>".  The file is made once
 * the name is owned, so that a test can wait for it.
 * Usage: notification_sink FILE */
#include <gio/gio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char kInterface[] =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
    "<method name='Notify'>"
    "<arg type='s' direction='in'/><arg type='u' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='as' direction='in'/>"
    "<arg type='a{sv}' direction='in'/><arg type='i' direction='in'/>"
    "<arg type='u' direction='out'/></method>"
    "<method name='CloseNotification'><arg type='u' direction='in'/></method>"
    "<method name='GetServerInformation'><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/></method>"
    "<signal name='NotificationClosed'><arg type='u'/><arg type='u'/></signal>"
    "</interface></node>";

static const char* g_path;
static gint64 g_started;
static guint32 g_lastId;

/* Tabs and line breaks in a text would split its line in the file. */
static void WriteField(FILE* file, const char* text)
{
    for (; *text; ++text)
        fputc(*text == '\t' || *text == '\n' ? ' ' : *text, file);
}

static void OnCall(GDBusConnection* connection, const char* sender, const char* object,
                   const char* interface, const char* method, GVariant* parameters,
                   GDBusMethodInvocation* invocation, gpointer data)
{
    (void)connection, (void)sender, (void)object, (void)interface, (void)data;
    if (strcmp(method, "GetCapabilities") == 0)
    {
        const char* capabilities[] = {"body", NULL};
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(^as)", capabilities));
    }
    else if (strcmp(method, "GetServerInformation") == 0)
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(ssss)", "notification_sink", "Corvalin tests", "1", "1.2"));
    else if (strcmp(method, "CloseNotification") == 0)
        g_dbus_method_invocation_return_value(invocation, NULL);
    else if (strcmp(method, "Notify") == 0)
    {
        const char *app, *icon, *summary, *body;
        guint32 replaces;
        g_variant_get(parameters, "(&su&s&s&s@as@a{sv}i)", &app, &replaces, &icon, &summary, &body,
                      NULL, NULL, NULL);
        FILE* file = fopen(g_path, "a");
        if (file)
        {
            fprintf(file, "%lld\t", (long long)((g_get_monotonic_time() - g_started) / 1000));
            WriteField(file, app);
            fputc('\t', file);
            WriteField(file, summary);
            fputc('\t', file);
            WriteField(file, body);
            fputc('\n', file);
            fclose(file);
        }
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(u)", replaces ? replaces : ++g_lastId));
    }
    else
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod",
                                                   method);
}

static void OnBus(GDBusConnection* connection, const char* name, gpointer data)
{
    (void)name;
    static const GDBusInterfaceVTable vtable = {OnCall, NULL, NULL, {0}};
    GDBusNodeInfo* node = data;
    g_dbus_connection_register_object(connection, "/org/freedesktop/Notifications",
                                      node->interfaces[0], &vtable, NULL, NULL, NULL);
}

static void OnNameOwned(GDBusConnection* connection, const char* name, gpointer data)
{
    (void)connection, (void)name, (void)data;
    FILE* file = fopen(g_path, "a");
    if (file)
        fclose(file);
}

static void OnNameLost(GDBusConnection* connection, const char* name, gpointer data)
{
    (void)connection, (void)data;
    fprintf(stderr, "notification_sink: %s is not ours\n", name);
    exit(1);
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    g_path = argv[1];
    g_started = g_get_monotonic_time();
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, NULL);
    g_bus_own_name(G_BUS_TYPE_SESSION, "org.freedesktop.Notifications", G_BUS_NAME_OWNER_FLAGS_NONE,
                   OnBus, OnNameOwned, OnNameLost, node, NULL);
    g_main_loop_run(g_main_loop_new(NULL, FALSE));
    return 0;
}
