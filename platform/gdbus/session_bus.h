#pragma once

// One private connection to the session bus, and what every D-Bus user of
// ours asks of it: calls with a deadline, a name's owner, signals filtered
// by sender, a name's change of hands.  Private, so that closing it ends
// every name, object and subscription of its user at once, and so that a
// user's filter sees only its own traffic.  On GIO's GDBus.

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class SessionBus
{
public:
    // Connects; IsOpen says whether that worked.  Without a session bus it
    // does not try: GIO would start one of its own, on which no compositor,
    // shell or tray host would be found, and which would outlive us.
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    static bool Exists();
    bool IsOpen() const { return m_connection != nullptr; }
    GDBusConnection* Connection() const { return m_connection; }
    // Our name on the bus, for a peer that calls us.
    std::string UniqueName() const;

    // A method call that waits at most timeoutMs: its reply (of replyType,
    // when one is given), or null.  Never starts a service by activation.
    GVariant* Call(const char* destination, const char* path, const char* interface,
                   const char* method, GVariant* arguments, const char* replyType,
                   int timeoutMs);
    // The same, of the bus itself.
    GVariant* CallBus(const char* method, GVariant* arguments, const char* replyType,
                      int timeoutMs);
    // The unique name that owns `name` now; empty when none does.
    std::string NameOwner(const char* name, int timeoutMs);

    // Calls back, from the main loop, with the parameters of each signal of
    // that sender, interface, member and first argument (null: any), for as
    // long as this connection lives.
    void Subscribe(const char* sender, const char* interface, const char* member,
                   const char* arg0, std::function<void(GVariant* parameters)> callback);
    // Calls back with the new owner ("" when none) each time the name
    // changes hands.
    void WatchOwner(const char* name, std::function<void(const std::string& owner)> callback);

private:
    GDBusConnection* m_connection = nullptr;
    std::vector<guint> m_subscriptions;
    std::vector<std::unique_ptr<std::function<void(GVariant*)>>> m_callbacks;
};
