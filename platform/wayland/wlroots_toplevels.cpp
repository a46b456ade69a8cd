// wlroots compositors: the foreign-toplevel management protocol tells every
// client that binds it about each window, its title, app id and whether it
// is activated.  Read on a Wayland connection of our own (the toolkit's may
// be X11, and must not see these events), served from the main loop.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <list>
#include <unordered_map>
#include <vector>

#include <wayland-client.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

#include "platform/key_names.h"
#include "platform/wayland/backends.h"
#include "platform/wayland/display_connection.h"
#include "platform/wayland/input_idle.h"
#include "platform/wayland/sway_ipc.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace
{
constexpr std::uint32_t kManagerVersion = 3;
// How long a switch may wait for sway's IPC to name its process: the two
// reports leave sway together, so this bounds a slow or gone IPC only.
constexpr int kPidWaitMs = 150;
// Reads per wake-up: a storm of windows is taken off the socket at once,
// before the compositor's buffer for us can fill.
constexpr int kReadsPerWake = 256;
// The span asked about until the monitor asks about another.
constexpr unsigned kDefaultWithinMs = 500;

// A try at taking a lost compositor up again waits no longer than this: it
// runs on the main loop, and a compositor that answers at all answers with
// its initial state in a few milliseconds.  A slower one is asked again.
constexpr int kRetryWaitMs = 40;

class WlrootsPlatform;


class DisplayReader final : public wxEventLoopSourceHandler
{
public:
    explicit DisplayReader(WlrootsPlatform& platform) : m_platform(platform) {}
    void OnReadWaiting() override;
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override;

private:
    WlrootsPlatform& m_platform;
};

class WlrootsPlatform final : public ReportedWindowsPlatform
{
public:
    // The foreign-toplevel protocol announces each toplevel as it is made.
    WlrootsPlatform() : m_pidWait(*this) { m_announcesWindows = true; }
    ~WlrootsPlatform() override
    {
        m_pidWait.Stop();
        Disconnect();
    }

    bool Connect(int timeoutMs) override
    {
        m_display = ConnectDisplayWithoutWaiting();
        if (!m_display)
            return false;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        m_registry = wl_display_get_registry(m_display);
        wl_registry_add_listener(m_registry, &kRegistryListener, this);
        // The globals, then the windows the manager announces on binding,
        // each with its first "done": that is the initial state.
        if (!Roundtrip(deadline) || !m_manager || !Roundtrip(deadline))
        {
            Disconnect();
            return false;
        }
        EndOfBatch();
        // sway's own IPC names the processes; elsewhere it is simply absent.
        m_sway.Start();
        m_inputIdle.Start(kDefaultWithinMs, deadline);
        m_source = wxEventLoopBase::AddSourceForFD(wl_display_get_fd(m_display), &m_reader,
                                                   wxEVENT_SOURCE_INPUT | wxEVENT_SOURCE_EXCEPTION);
        if (!m_source)
        {
            Disconnect();
            return false;
        }
        return true;
    }

    wxString Name() const override { return L"the wlroots foreign-toplevel protocol"; }

    // Only sway's IPC says which windows it marked urgent: the protocol
    // has no such state.
    void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted) override
    {
        m_onAttempt = std::move(attempted);
        m_sway.OnUrgent([this](const wxString& appId, const wxString& title) {
            if (!m_onAttempt)
                return;
            // The newest window of that app id and title, as the protocol numbers it.
            for (auto it = m_toplevels.rbegin(); it != m_toplevels.rend(); ++it)
                if (it->appId == appId && it->title == title)
                {
                    m_onAttempt(it->handle, AttemptKind::Urgent);
                    return;
                }
        });
    }
    bool TellsAttempts() const override { return m_sway.IsConnected(); }
    int RetryWaitMs() const override { return kRetryWaitMs; }

    ChangeInput InputNow(unsigned withinMs) override
    {
        ChangeInput input;
        input.inputWithin = m_inputIdle.InputWithin(withinMs);
        return input;
    }

    // On sway, through its IPC: the protocol has no key bindings.
    bool BindHotKey(int modifiers, int keyCode, std::function<void()> pressed,
                    wxString& problem) override
    {
        problem.clear();
        if (!m_sway.IsConnected())
            return false;
        const std::string combo = SwayKeyCombo(modifiers, keyCode);
        if (combo.empty())
        {
            problem = wxString::FromUTF8(UnnamedKeyProblem(keyCode, "sway").c_str());
            return false;
        }
        std::string why;
        if (m_sway.BindKey(combo, std::move(pressed), why))
            return true;
        problem = wxString::FromUTF8(why);
        return false;
    }
    void UnbindHotKey() override { m_sway.UnbindKey(); }

    void GiveForeground(WindowHandle window) override
    {
        if (!m_display || !m_seat)
            return;
        for (Toplevel& toplevel : m_toplevels)
            if (toplevel.handle == window)
            {
                zwlr_foreign_toplevel_handle_v1_activate(toplevel.proxy, m_seat);
                wl_display_flush(m_display);
                return;
            }
    }

    // Everything the compositor sent since the last read, as one batch: a
    // switch deactivates the old window and activates the new one in
    // separate reports that arrive together.  What keeps arriving meanwhile
    // is read too, so that a storm of windows never fills the compositor's
    // buffer for us (it would close our connection).
    void ReadEvents()
    {
        for (int read = 0; m_display && read < kReadsPerWake; ++read)
        {
            while (wl_display_prepare_read(m_display) != 0)
                if (wl_display_dispatch_pending(m_display) < 0)
                    return Lost();
            wl_display_flush(m_display);
            pollfd waiting{wl_display_get_fd(m_display), POLLIN, 0};
            if (read > 0 && poll(&waiting, 1, 0) <= 0)
            {
                wl_display_cancel_read(m_display);
                break;
            }
            if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
                return Lost();
        }
        if (m_finished)
            return Lost();
        EndOfBatch();
    }

    // The compositor is gone: what it reported is no longer true, and it is
    // said, so that the backend can be taken up again.
    void Lost()
    {
        if (!m_display)
            return;
        const int error = wl_display_get_error(m_display);
        for (Toplevel& toplevel : m_toplevels)
            Forget(toplevel.handle);
        m_awaitingPid.clear();
        m_sway.ForgetBinding();
        ReleaseChanges();
        EndOfBatch();
        Disconnect();
        ReportLost(error ? wxString::Format(L"the Wayland connection failed (%s)",
                                            wxString(std::strerror(error)))
                         : wxString(L"the compositor closed the Wayland connection"));
    }

    // sway named processes: the switches that waited for theirs go on.
    void OnSwayNews()
    {
        for (auto waiting = m_awaitingPid.begin(); waiting != m_awaitingPid.end();)
        {
            const auto found = m_byHandle.find(*waiting);
            if (found == m_byHandle.end())
            {
                waiting = m_awaitingPid.erase(waiting);
                continue;
            }
            Toplevel& toplevel = *found->second;
            toplevel.pid = m_sway.PidFor(toplevel.appId, toplevel.title);
            if (toplevel.pid == 0)
            {
                ++waiting;
                continue;
            }
            SetPid(toplevel.handle, toplevel.pid);
            waiting = m_awaitingPid.erase(waiting);
        }
        if (m_awaitingPid.empty())
            StopWaitingForPids();
        // The window that had the focus before sway's first answer.
        const auto focused = m_byHandle.find(ForegroundWindow());
        if (focused != m_byHandle.end() && focused->second->pid == 0)
        {
            Toplevel& toplevel = *focused->second;
            toplevel.pid = m_sway.PidFor(toplevel.appId, toplevel.title);
            if (toplevel.pid != 0)
                SetPid(toplevel.handle, toplevel.pid);
        }
    }

    void StopWaitingForPids()
    {
        m_awaitingPid.clear();
        m_pidWait.Stop();
        ReleaseChanges();
    }

private:
    using Clock = std::chrono::steady_clock;

    struct Toplevel
    {
        WlrootsPlatform* platform = nullptr;
        zwlr_foreign_toplevel_handle_v1* proxy = nullptr;
        WindowHandle handle = 0;
        wxString title;
        wxString appId;
        bool activated = false;
        unsigned long pid = 0;
        std::list<Toplevel>::iterator self;
    };

    struct PidWait final : wxTimer
    {
        explicit PidWait(WlrootsPlatform& owner) : m_owner(owner) {}
        // The IPC did not name them in time: logged by their app id.
        void Notify() override { m_owner.StopWaitingForPids(); }
        WlrootsPlatform& m_owner;
    };

    bool Roundtrip(Clock::time_point deadline) { return RoundtripBefore(m_display, deadline); }

    void Disconnect()
    {
        delete m_source;
        m_source = nullptr;
        for (Toplevel& toplevel : m_toplevels)
            zwlr_foreign_toplevel_handle_v1_destroy(toplevel.proxy);
        m_toplevels.clear();
        m_byHandle.clear();
        if (m_manager)
            zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
        if (m_seat)
            wl_seat_destroy(m_seat);
        if (m_registry)
            wl_registry_destroy(m_registry);
        if (m_display)
            wl_display_disconnect(m_display);
        m_manager = nullptr;
        m_seat = nullptr;
        m_registry = nullptr;
        m_display = nullptr;
    }

    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version)
    {
        auto* self = static_cast<WlrootsPlatform*>(data);
        if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 &&
            !self->m_manager)
        {
            self->m_manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
                registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                std::min(version, kManagerVersion)));
            zwlr_foreign_toplevel_manager_v1_add_listener(self->m_manager, &kManagerListener, self);
        }
        else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
        {
            // Only to ask for activation; the first seat is the user's.
            self->m_seat = static_cast<wl_seat*>(
                wl_registry_bind(registry, name, &wl_seat_interface, 1));
        }
    }
    static void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

    static void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* proxy)
    {
        auto* self = static_cast<WlrootsPlatform*>(data);
        char key[32];
        std::snprintf(key, sizeof key, "%u", wl_proxy_get_id(reinterpret_cast<wl_proxy*>(proxy)));
        self->m_toplevels.emplace_back();
        Toplevel& toplevel = self->m_toplevels.back();
        toplevel.platform = self;
        toplevel.proxy = proxy;
        toplevel.handle = self->HandleFor(key);
        toplevel.self = std::prev(self->m_toplevels.end());
        self->m_byHandle[toplevel.handle] = &toplevel;
        zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &kToplevelListener, &toplevel);
    }
    // The compositor stops reporting (it is going away).
    static void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1*)
    {
        static_cast<WlrootsPlatform*>(data)->m_finished = true;
    }

    static void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title)
    {
        static_cast<Toplevel*>(data)->title = DecodeText(title);
    }
    static void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId)
    {
        static_cast<Toplevel*>(data)->appId = DecodeText(appId);
    }
    static void OnOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void OnState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states)
    {
        auto* toplevel = static_cast<Toplevel*>(data);
        toplevel->activated = false;
        const auto* state = static_cast<const std::uint32_t*>(states->data);
        for (size_t i = 0; i < states->size / sizeof *state; ++i)
            if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                toplevel->activated = true;
    }
    // The reports about one window are complete.
    static void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*)
    {
        auto* toplevel = static_cast<Toplevel*>(data);
        WlrootsPlatform& self = *toplevel->platform;
        bool awaitPid = false;
        if (toplevel->activated && toplevel->pid == 0 && self.m_sway.IsConnected())
        {
            // The protocol names no process; sway's IPC does, in reports of
            // its own that may still be on their way.
            toplevel->pid = self.m_sway.PidFor(toplevel->appId, toplevel->title);
            awaitPid = toplevel->pid == 0;
        }
        self.Describe(toplevel->handle, toplevel->title, toplevel->appId, toplevel->pid);
        if (!toplevel->activated)
            return self.Unfocus(toplevel->handle);
        self.Focus(toplevel->handle);
        if (awaitPid)
        {
            self.m_awaitingPid.push_back(toplevel->handle);
            self.HoldChanges();
            if (!self.m_pidWait.IsRunning())
                self.m_pidWait.StartOnce(kPidWaitMs);
        }
    }
    static void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* proxy)
    {
        auto* toplevel = static_cast<Toplevel*>(data);
        WlrootsPlatform& self = *toplevel->platform;
        self.Forget(toplevel->handle);
        zwlr_foreign_toplevel_handle_v1_destroy(proxy);
        self.m_byHandle.erase(toplevel->handle);
        self.m_toplevels.erase(toplevel->self);
    }
    static void OnParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static void OnSyncDone(void* data, wl_callback* callback, std::uint32_t)
    {
        *static_cast<bool*>(data) = true;
        wl_callback_destroy(callback);
    }

    static constexpr wl_registry_listener kRegistryListener{&OnGlobal, &OnGlobalRemove};
    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener{&OnToplevel,
                                                                                &OnFinished};
    static constexpr zwlr_foreign_toplevel_handle_v1_listener kToplevelListener{
        &OnTitle, &OnAppId, &OnOutput, &OnOutput, &OnState, &OnDone, &OnClosed, &OnParent};
    static constexpr wl_callback_listener kSyncListener{&OnSyncDone};

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    wl_seat* m_seat = nullptr;
    bool m_finished = false;
    // A list: the listeners keep pointers to its elements.
    std::list<Toplevel> m_toplevels;
    std::unordered_map<WindowHandle, Toplevel*> m_byHandle;
    SwayIpc m_sway{[this] { OnSwayNews(); }};
    std::function<void(WindowHandle, AttemptKind)> m_onAttempt;
    // Focused windows whose process sway has not named yet.
    std::vector<WindowHandle> m_awaitingPid;
    PidWait m_pidWait;
    WaylandInputIdle m_inputIdle;
    DisplayReader m_reader{*this};
    wxEventLoopSource* m_source = nullptr;
};

void DisplayReader::OnReadWaiting()
{
    m_platform.ReadEvents();
}

void DisplayReader::OnExceptionWaiting()
{
    // Hang-up with reports still unread: those are read first.
    m_platform.ReadEvents();
    m_platform.Lost();
}
}  // namespace

std::unique_ptr<ReportedWindowsPlatform> CreateWlrootsPlatform()
{
    return std::make_unique<WlrootsPlatform>();
}
