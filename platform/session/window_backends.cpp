// Which display the program's own windows use, and which backend follows
// the windows of other programs.  Chosen at run time from what the session
// really offers: one Linux binary serves X11 and every Wayland desktop.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/session/reconnecting_platform.h"
#include "platform/wayland/backends.h"
#include "platform/window_tracking.h"
#include "platform/x11/window_platform.h"

namespace
{
// How long one backend may take to show that it works: a running
// compositor answers in milliseconds; this bounds a stuck one.
constexpr int kConnectTimeoutMs = 3000;

wxString g_notice;
std::function<void()> g_noticeChanged;

bool IsWaylandSession()
{
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (session && std::strcmp(session, "wayland") == 0) || (wayland && *wayland);
}

bool HasXDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

void Tell(const wxString& text)
{
    std::fprintf(stderr, "Corvalin: %s\n", static_cast<const char*>(text.utf8_str()));
}

// What the user must know changed: a backend was lost or is back.
void ChangeNotice(const wxString& notice, const wxString& detail)
{
    if (!notice.empty())
        Tell(detail.empty() ? notice : notice + L" (" + detail + L")");
    else if (!detail.empty())
        Tell(detail);
    g_notice = notice;
    if (g_noticeChanged)
        g_noticeChanged();
}

// While a Wayland backend is away, the X11 path sees what it can.
std::unique_ptr<WindowPlatform> CreateFallback()
{
    return CreateX11WindowPlatform();
}
}  // namespace

// Our own windows stay on XWayland where there is one: there the hot key can
// be grabbed and the frame placed where it was.  GDK would pick Wayland by
// itself, so it is told not to.  Without XWayland they run on Wayland.
void PrepareDisplay()
{
    if (IsWaylandSession() && HasXDisplay())
        setenv("GDK_BACKEND", "x11", 1);
}

std::unique_ptr<WindowPlatform> CreateWindowPlatform()
{
    g_notice.clear();
    if (!IsWaylandSession())
        return CreateX11WindowPlatform();

    // In the order of how much a backend needs: a protocol any client may
    // use, a script the compositor runs for us, an extension of ours.
    wxString advice;
    ReconnectingPlatform::Family waitFor = nullptr;
    using Factory = std::unique_ptr<ReportedWindowsPlatform> (*)();
    for (Factory create : {&CreateWlrootsPlatform, &CreateKwinScriptPlatform,
                           &CreateGnomeExtensionPlatform})
    {
        std::unique_ptr<ReportedWindowsPlatform> backend = create();
        if (backend->Connect(kConnectTimeoutMs))
        {
            Tell(L"this is a Wayland session; following its windows through " + backend->Name() +
                 L".");
            return std::make_unique<ReconnectingPlatform>(create, std::move(backend),
                                                          &CreateFallback, &ChangeNotice);
        }
        // A backend that can tell what is missing (our GNOME extension) is
        // the session's own: it is asked again until it works.
        if (!backend->Advice().empty())
        {
            advice += L" " + backend->Advice();
            if (!waitFor)
                waitFor = create;
        }
    }
    if (HasXDisplay())
        g_notice = L"This Wayland compositor tells no program which window has the focus, so "
                   L"only the windows of X11 applications can be seen.";
    else
        g_notice = L"This Wayland compositor tells no program which window has the focus, and "
                   L"there is no XWayland: no window of another program can be seen.";
    g_notice += advice;
    Tell(g_notice);
    if (waitFor)
        return std::make_unique<ReconnectingPlatform>(waitFor, nullptr, &CreateFallback,
                                                      &ChangeNotice);
    return CreateX11WindowPlatform();
}

wxString WindowTrackingNotice()
{
    return g_notice;
}

void OnWindowTrackingNoticeChanged(std::function<void()> handler)
{
    g_noticeChanged = std::move(handler);
}
