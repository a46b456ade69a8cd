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

#include <wayland-client.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>

#include "platform/wayland/backends.h"
#include "platform/wayland/sway_ipc.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace
{
constexpr std::uint32_t kManagerVersion = 3;
// A compositor without an IPC that names processes is not asked forever.
constexpr int kPidQuestions = 3;

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
    ~WlrootsPlatform() override { Disconnect(); }

    bool Connect(int timeoutMs) override
    {
        m_display = wl_display_connect(nullptr);
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
    // separate reports that arrive together.
    void ReadEvents()
    {
        if (!m_display)
            return;
        while (wl_display_prepare_read(m_display) != 0)
            if (wl_display_dispatch_pending(m_display) < 0)
                return Lost();
        wl_display_flush(m_display);
        if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
            return Lost();
        EndOfBatch();
    }

    // The compositor is gone: what it reported is no longer true.
    void Lost()
    {
        for (Toplevel& toplevel : m_toplevels)
            Forget(toplevel.handle);
        EndOfBatch();
        Disconnect();
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
        int pidQuestions = 0;
        unsigned long pid = 0;
    };

    // wl_display_roundtrip without waiting forever on a stuck compositor.
    bool Roundtrip(Clock::time_point deadline)
    {
        bool done = false;
        wl_callback* callback = wl_display_sync(m_display);
        wl_callback_add_listener(callback, &kSyncListener, &done);
        while (!done)
        {
            while (wl_display_prepare_read(m_display) != 0)
                if (wl_display_dispatch_pending(m_display) < 0)
                    break;
            if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
            {
                wl_display_cancel_read(m_display);
                break;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd waiting{wl_display_get_fd(m_display), POLLIN, 0};
            if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            {
                wl_display_cancel_read(m_display);
                break;
            }
            if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
                break;
        }
        if (!done)
            wl_callback_destroy(callback);
        return done;
    }

    void Disconnect()
    {
        delete m_source;
        m_source = nullptr;
        for (Toplevel& toplevel : m_toplevels)
            zwlr_foreign_toplevel_handle_v1_destroy(toplevel.proxy);
        m_toplevels.clear();
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
        zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &kToplevelListener,
                                                     &self->m_toplevels.back());
    }
    // The compositor stops reporting (it is going away).
    static void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1*)
    {
        static_cast<WlrootsPlatform*>(data)->m_finished = true;
    }

    static void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title)
    {
        static_cast<Toplevel*>(data)->title = wxString::FromUTF8(title);
    }
    static void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId)
    {
        static_cast<Toplevel*>(data)->appId = wxString::FromUTF8(appId);
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
        if (toplevel->activated && toplevel->pid == 0 && toplevel->pidQuestions < kPidQuestions)
        {
            // The protocol names no process; the compositor's own IPC may,
            // asked while the window is the focused one, until it answers.
            ++toplevel->pidQuestions;
            toplevel->pid = SwayFocusedWindowPid(toplevel->title);
        }
        self.Describe(toplevel->handle, toplevel->title, toplevel->appId, toplevel->pid);
        if (toplevel->activated)
            self.Focus(toplevel->handle);
        else
            self.Unfocus(toplevel->handle);
    }
    static void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* proxy)
    {
        auto* toplevel = static_cast<Toplevel*>(data);
        WlrootsPlatform& self = *toplevel->platform;
        self.Forget(toplevel->handle);
        zwlr_foreign_toplevel_handle_v1_destroy(proxy);
        self.m_toplevels.remove_if([proxy](const Toplevel& t) { return t.proxy == proxy; });
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
    DisplayReader m_reader{*this};
    wxEventLoopSource* m_source = nullptr;
};

void DisplayReader::OnReadWaiting()
{
    m_platform.ReadEvents();
}

void DisplayReader::OnExceptionWaiting()
{
    m_platform.Lost();
}
}  // namespace

std::unique_ptr<ReportedWindowsPlatform> CreateWlrootsPlatform()
{
    return std::make_unique<WlrootsPlatform>();
}
