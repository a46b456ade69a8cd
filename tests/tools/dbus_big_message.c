/* Sends one method call whose only argument is a string of MEGABYTES MB,
 * expecting no reply: a peer that tries to make Corvalin keep its memory.
 *
 *   dbus_big_message DESTINATION PATH INTERFACE.MEMBER MEGABYTES [COUNT]
 *
 * The string is too long for any command line, hence this tool. */
#include <gio/gio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: %s DESTINATION PATH INTERFACE.MEMBER MEGABYTES [COUNT]\n", argv[0]);
        return 2;
    }
    const char* dot = strrchr(argv[3], '.');
    if (!dot) {
        fprintf(stderr, "dbus_big_message: INTERFACE.MEMBER expected\n");
        return 2;
    }
    char* interface = g_strndup(argv[3], (gsize)(dot - argv[3]));
    const gsize size = (gsize)atoi(argv[4]) << 20;
    const int count = argc > 5 ? atoi(argv[5]) : 1;
    GError* error = NULL;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, NULL, &error);
    if (!bus) {
        fprintf(stderr, "dbus_big_message: %s\n", error->message);
        return 1;
    }
    gchar* text = g_malloc(size + 1);
    memset(text, 'x', size);
    text[size] = '\0';
    for (int i = 0; i < count; ++i) {
        GDBusMessage* message = g_dbus_message_new_method_call(argv[1], argv[2], interface, dot + 1);
        g_dbus_message_set_body(message, g_variant_new("(s)", text));
        g_dbus_message_set_flags(message, G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED);
        if (!g_dbus_connection_send_message(bus, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, NULL, &error)) {
            fprintf(stderr, "dbus_big_message: %s\n", error->message);
            return 1;
        }
        g_object_unref(message);
    }
    if (!g_dbus_connection_flush_sync(bus, NULL, &error)) {
        fprintf(stderr, "dbus_big_message: %s\n", error->message);
        return 1;
    }
    printf("sent %d message(s) of %s MB\n", count, argv[4]);
    return 0;
}
