#pragma once

// Whether the user gave any input lately, as a Wayland compositor tells it:
// the idle protocol it offers (ext-idle-notify, or KDE's older idle
// protocol, which sway 1.7 has), asked for a timeout equal to the span in
// question.  "Idle" at a change then means no input in that span before it.
// On a connection of its own, read from the main loop.

#include <chrono>
#include <optional>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;
class wxEventLoopSource;

class WaylandInputIdle
{
public:
    WaylandInputIdle();
    ~WaylandInputIdle();
    WaylandInputIdle(const WaylandInputIdle&) = delete;
    WaylandInputIdle& operator=(const WaylandInputIdle&) = delete;

    // Connects and starts watching for withinMs without input; false where
    // the compositor offers no idle protocol (the answer is then unknown).
    // Waits for the compositor until the deadline at most.
    bool Start(unsigned withinMs, std::chrono::steady_clock::time_point deadline);
    // Whether there was input in the withinMs before now: reads what the
    // compositor has said so far first.  Unknown while the watch is younger
    // than its span, or when asked about another span (the watch then moves
    // to that one, for the next change).
    std::optional<bool> InputWithin(unsigned withinMs);

private:
    class Reader;
    void Arm(unsigned withinMs);
    void Read();
    void Disconnect();

    using Clock = std::chrono::steady_clock;
    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    ext_idle_notifier_v1* m_notifier = nullptr;
    ext_idle_notification_v1* m_notification = nullptr;
    org_kde_kwin_idle* m_kdeIdle = nullptr;
    org_kde_kwin_idle_timeout* m_kdeTimeout = nullptr;
    unsigned m_withinMs = 0;
    Clock::time_point m_armed;
    bool m_idle = false;
    Reader* m_reader = nullptr;
    wxEventLoopSource* m_source = nullptr;

    friend struct InputIdleListeners;
};
