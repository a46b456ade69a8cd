#include "platform/wayland/input_idle.h"

#include <poll.h>

#include <cstdint>
#include <cstring>

#include <wayland-client.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>

#include "platform/wayland/display_connection.h"
#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

class WaylandInputIdle::Reader final : public wxEventLoopSourceHandler
{
public:
    explicit Reader(WaylandInputIdle& owner) : m_owner(owner) {}
    void OnReadWaiting() override { m_owner.Read(); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override { m_owner.Disconnect(); }

private:
    WaylandInputIdle& m_owner;
};

struct InputIdleListeners
{
    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t)
    {
        auto* self = static_cast<WaylandInputIdle*>(data);
        if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 && !self->m_notifier)
            self->m_notifier = static_cast<ext_idle_notifier_v1*>(
                wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
        else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0 && !self->m_kdeIdle)
            self->m_kdeIdle = static_cast<org_kde_kwin_idle*>(
                wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
        else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
            self->m_seat =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
    static void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
    static void OnIdle(void* data) { static_cast<WaylandInputIdle*>(data)->m_idle = true; }
    static void OnResumed(void* data) { static_cast<WaylandInputIdle*>(data)->m_idle = false; }
    static void OnIdled(void* data, ext_idle_notification_v1*) { OnIdle(data); }
    static void OnExtResumed(void* data, ext_idle_notification_v1*) { OnResumed(data); }
    static void OnKdeIdle(void* data, org_kde_kwin_idle_timeout*) { OnIdle(data); }
    static void OnKdeResumed(void* data, org_kde_kwin_idle_timeout*) { OnResumed(data); }

    static constexpr wl_registry_listener kRegistry{&OnGlobal, &OnGlobalRemove};
    static constexpr ext_idle_notification_v1_listener kExt{&OnIdled, &OnExtResumed};
    static constexpr org_kde_kwin_idle_timeout_listener kKde{&OnKdeIdle, &OnKdeResumed};
};

WaylandInputIdle::WaylandInputIdle() = default;

WaylandInputIdle::~WaylandInputIdle()
{
    Disconnect();
}

bool WaylandInputIdle::Start(unsigned withinMs, std::chrono::steady_clock::time_point deadline)
{
    m_display = ConnectDisplayWithoutWaiting();
    if (!m_display)
        return false;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &InputIdleListeners::kRegistry, this);
    // One round trip for the globals; a compositor that does not answer it
    // in time is not one to follow anyway.
    if (!RoundtripBefore(m_display, deadline) || !m_seat || (!m_notifier && !m_kdeIdle))
    {
        Disconnect();
        return false;
    }
    Arm(withinMs);
    m_reader = new Reader(*this);
    m_source = wxEventLoopBase::AddSourceForFD(wl_display_get_fd(m_display), m_reader,
                                               wxEVENT_SOURCE_INPUT | wxEVENT_SOURCE_EXCEPTION);
    return true;
}

void WaylandInputIdle::Arm(unsigned withinMs)
{
    if (m_notification)
        ext_idle_notification_v1_destroy(m_notification);
    if (m_kdeTimeout)
        org_kde_kwin_idle_timeout_release(m_kdeTimeout);
    m_notification = nullptr;
    m_kdeTimeout = nullptr;
    m_withinMs = withinMs;
    m_idle = false;
    m_armed = Clock::now();
    // The newer protocol where both are offered: KWin has both, and they
    // agree to the millisecond.
    if (m_notifier)
    {
        m_notification = ext_idle_notifier_v1_get_idle_notification(m_notifier, withinMs, m_seat);
        ext_idle_notification_v1_add_listener(m_notification, &InputIdleListeners::kExt, this);
    }
    else
    {
        m_kdeTimeout = org_kde_kwin_idle_get_idle_timeout(m_kdeIdle, m_seat, withinMs);
        org_kde_kwin_idle_timeout_add_listener(m_kdeTimeout, &InputIdleListeners::kKde, this);
    }
    wl_display_flush(m_display);
}

void WaylandInputIdle::Read()
{
    if (!m_display)
        return;
    while (wl_display_prepare_read(m_display) != 0)
        if (wl_display_dispatch_pending(m_display) < 0)
            return Disconnect();
    wl_display_flush(m_display);
    pollfd waiting{wl_display_get_fd(m_display), POLLIN, 0};
    if (poll(&waiting, 1, 0) <= 0)
    {
        wl_display_cancel_read(m_display);
        return;
    }
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
        Disconnect();
}

std::optional<bool> WaylandInputIdle::InputWithin(unsigned withinMs)
{
    if (!m_display)
        return std::nullopt;
    // The input that led to this change was reported before it, maybe not
    // yet read: the connection is read first.
    Read();
    if (!m_display)
        return std::nullopt;
    if (withinMs != m_withinMs)
    {
        Arm(withinMs);
        return std::nullopt;
    }
    if (m_idle)
        return false;
    // Not idle: there was input within the span, once the watch is that old.
    if (Clock::now() - m_armed < std::chrono::milliseconds(m_withinMs))
        return std::nullopt;
    return true;
}

void WaylandInputIdle::Disconnect()
{
    delete m_source;
    m_source = nullptr;
    delete m_reader;
    m_reader = nullptr;
    if (m_notification)
        ext_idle_notification_v1_destroy(m_notification);
    if (m_kdeTimeout)
        org_kde_kwin_idle_timeout_release(m_kdeTimeout);
    if (m_notifier)
        ext_idle_notifier_v1_destroy(m_notifier);
    if (m_kdeIdle)
        org_kde_kwin_idle_destroy(m_kdeIdle);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
    m_notification = nullptr;
    m_kdeTimeout = nullptr;
    m_notifier = nullptr;
    m_kdeIdle = nullptr;
    m_seat = nullptr;
    m_registry = nullptr;
    m_display = nullptr;
}
