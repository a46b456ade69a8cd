// X11 side of the platform: EWMH properties read on a connection of our own,
// every request on a foreign window under an error trap.
#include "platform/x11/window_platform.h"

#include <set>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <optional>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/scrnsaver.h>

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

#include "platform/linux/processes.h"
#include "platform/x11/x_error_trap.h"

namespace
{
using SteadyClock = std::chrono::steady_clock;

// An activation request is matched to the change it asked for, which comes
// a millisecond or two later; one older than this asked for something else.
constexpr auto kRequestLifetime = std::chrono::milliseconds(500);
// Requests waiting to be matched: a few are plenty, since each is matched or
// outlived within the lifetime.
constexpr size_t kMaxRequests = 8;

ActivationRequest RequestOfSource(long source)
{
    // EWMH's source indication; 0, from clients older than it, says nothing.
    if (source == 1)
        return ActivationRequest::Application;
    if (source == 2)
        return ActivationRequest::Pager;
    return ActivationRequest::Unknown;
}

// 255 characters of up to four UTF-8 bytes each, plus one to see a longer title.
constexpr long kTitleLongs = 256;
constexpr size_t kTitleBytes = kTitleLongs * 4;

// Decodes UTF-8 strictly: every byte sequence that is not a Unicode scalar
// value in shortest form (stray bytes, encoded surrogates, values beyond
// U+10FFFF) becomes U+FFFD, so that nothing invalid reaches the toolkit,
// which would drop the whole line.  A sequence cut by the read limit at the
// very end is dropped instead.
wxString DecodeUtf8(const char* data, size_t length, bool mayBeCut)
{
    std::wstring out;
    out.reserve(length);
    size_t i = 0;
    while (i < length)
    {
        const unsigned char lead = static_cast<unsigned char>(data[i]);
        if (lead < 0x80)
        {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        size_t need = 0;
        std::uint32_t code = 0, least = 0;
        if (lead >= 0xC2 && lead <= 0xDF)
            need = 1, code = lead & 0x1F, least = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            need = 2, code = lead & 0x0F, least = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            need = 3, code = lead & 0x07, least = 0x10000;
        else
        {
            out += L'\uFFFD';
            ++i;
            continue;
        }
        size_t got = 0;
        while (got < need && i + 1 + got < length &&
               (static_cast<unsigned char>(data[i + 1 + got]) & 0xC0) == 0x80)
        {
            code = (code << 6) | (static_cast<unsigned char>(data[i + 1 + got]) & 0x3F);
            ++got;
        }
        if (got < need)
        {
            if (mayBeCut && i + 1 + got == length)
                break;
            out += L'\uFFFD';
            i += 1 + got;
            continue;
        }
        i += 1 + need;
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            out += L'\uFFFD';
        else
            out += static_cast<wchar_t>(code);
    }
    return wxString(out);
}

class X11WindowPlatform;

// Reads the connection's events when its descriptor becomes readable.
class ConnectionReader final : public wxEventLoopSourceHandler
{
public:
    explicit ConnectionReader(X11WindowPlatform& platform) : m_platform(platform) {}
    void OnReadWaiting() override;
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override;

private:
    X11WindowPlatform& m_platform;
};

// Xlib reads events into its own queue during any round trip of ours, and
// then the descriptor never becomes readable for them: a request made outside
// the event handler has them read soon after, from the main loop.
class QueuedEventsReader final : public wxTimer
{
public:
    explicit QueuedEventsReader(X11WindowPlatform& platform) : m_platform(platform) {}
    void Notify() override;

private:
    X11WindowPlatform& m_platform;
};

// An application's activation request that led to no change within its
// lifetime: looked at once that has passed.
class RefusedRequestCheck final : public wxTimer
{
public:
    explicit RefusedRequestCheck(X11WindowPlatform& platform) : m_platform(platform) {}
    void Notify() override;

private:
    X11WindowPlatform& m_platform;
};

class X11WindowPlatform final : public WindowPlatform
{
public:
    X11WindowPlatform() : m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        m_root = DefaultRootWindow(m_display);
        const char* names[] = {"_NET_ACTIVE_WINDOW", "_NET_WM_NAME", "UTF8_STRING",
                               "_NET_WM_PID", "COMPOUND_TEXT", "_NET_WM_STATE",
                               "_NET_WM_STATE_DEMANDS_ATTENTION"};
        Atom atoms[7];
        XInternAtoms(m_display, const_cast<char**>(names), 7, False, atoms);
        m_wmState = atoms[5];
        m_demandsAttention = atoms[6];
        m_activeWindow = atoms[0];
        m_wmName = atoms[1];
        m_utf8 = atoms[2];
        m_wmPid = atoms[3];
        m_compoundText = atoms[4];
        int eventBase = 0, errorBase = 0;
        m_hasXRes = XResQueryExtension(m_display, &eventBase, &errorBase);
        // The server's own count of the time since the last input; without
        // the extension, that stays unknown.
        if (XScreenSaverQueryExtension(m_display, &eventBase, &errorBase))
            m_idleInfo = XScreenSaverAllocInfo();
        // Raw key and button events tell keys from pointer presses, whoever
        // has the focus and with no grab; XInput 2.0 is enough for them.
        int major = 2, minor = 0;
        m_hasXi = XQueryExtension(m_display, "XInputExtension", &m_xiOpcode, &eventBase, &errorBase) &&
                  XIQueryVersion(m_display, &major, &minor) == Success;
    }

    ~X11WindowPlatform() override
    {
        m_queuedReader.reset();
        m_refusedCheck.reset();
        delete m_source;
        if (m_idleInfo)
            XFree(m_idleInfo);
        if (m_display)
            XCloseDisplay(m_display);
    }

    WindowHandle ForegroundWindow() override
    {
        if (m_eventsRunning)
            return m_foreground;
        RequestScope scope(*this);
        return ReadForeground();
    }

    bool IsValidWindow(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return false;
        // The watched window's end is told by its DestroyNotify.
        if (m_eventsRunning && window == m_watched)
            return m_watchedAlive;
        RequestScope scope(*this);
        XErrorTrap trap(m_display);
        XWindowAttributes attributes;
        const Status ok = XGetWindowAttributes(m_display, static_cast<Window>(window), &attributes);
        return ok != 0 && !trap.Failed(false);
    }

    wxString WindowTitle(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return wxString();
        RequestScope scope(*this);
        std::string bytes;
        Atom type = None;
        if (ReadBytes(window, m_wmName, m_utf8, bytes, type) && type == m_utf8)
            return DecodeUtf8(bytes.data(), bytes.size(), bytes.size() >= kTitleBytes).Left(255);
        if (!ReadBytes(window, XA_WM_NAME, AnyPropertyType, bytes, type))
            return wxString();
        if (type == m_utf8)
            return DecodeUtf8(bytes.data(), bytes.size(), bytes.size() >= kTitleBytes).Left(255);
        if (type == m_compoundText)
            return FromCompoundText(bytes).Left(255);
        return wxString(bytes.data(), wxConvISO8859_1, bytes.size()).Left(255);
    }

    unsigned long WindowProcessId(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return 0;
        RequestScope scope(*this);
        unsigned long pid = 0;
        if (ReadCardinal(static_cast<Window>(window), m_wmPid, XA_CARDINAL, pid) && pid != 0)
            return pid;
        return m_hasXRes ? ClientPid(static_cast<Window>(window)) : 0;
    }

    bool ProcessModuleName(unsigned long pid, wxString& name) override
    {
        return ReadProcessModuleName(pid, name);
    }

    bool ProcessExecutablePath(unsigned long pid, wxString& path) override
    {
        return ReadProcessExecutablePath(pid, path);
    }

    wxString WindowClass(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return wxString();
        RequestScope scope(*this);
        // WM_CLASS holds the instance name and then the class name.
        std::string bytes;
        Atom type = None;
        if (!ReadBytes(window, XA_WM_CLASS, XA_STRING, bytes, type))
            return wxString();
        const size_t end = bytes.find('\0');
        const std::string className = end == std::string::npos ? std::string() : bytes.substr(end + 1);
        return wxString(className.c_str(), wxConvISO8859_1);
    }

    bool StartEvents(std::function<void()> onChange) override
    {
        if (!m_display || m_eventsRunning)
            return m_eventsRunning;
        // Every change of the root's properties, _NET_ACTIVE_WINDOW among
        // them, comes as a PropertyNotify from now on; and every activation
        // request sent to the root the EWMH way (to its substructure) comes
        // here too.  One mask for both: a second XSelectInput would replace it.
        XSelectInput(m_display, m_root, PropertyChangeMask | SubstructureNotifyMask);
        if (m_hasXi)
        {
            unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
            XISetMask(bits, XI_RawKeyPress);
            XISetMask(bits, XI_RawButtonPress);
            XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
            XErrorTrap trap(m_display);
            XISelectEvents(m_display, m_root, &mask, 1);
            XSync(m_display, False);
            m_hasXi = !trap.Failed(false);
        }
        m_foreground = ReadForeground();
        // The toolkit's own way to watch a descriptor: GLib's main loop under
        // wxGTK, its own dispatcher in a console program, so the same code
        // serves the program and the tests.
        m_source = wxEventLoopBase::AddSourceForFD(ConnectionNumber(m_display), &m_reader,
                                                   wxEVENT_SOURCE_INPUT | wxEVENT_SOURCE_EXCEPTION);
        if (!m_source)
        {
            XSelectInput(m_display, m_root, NoEventMask);
            return false;
        }
        m_onChange = std::move(onChange);
        m_queuedReader.reset(new QueuedEventsReader(*this));
        m_eventsRunning = true;
        if (m_watched != 0)
            WatchWindow(m_watched);
        ReadEvents();
        return true;
    }

    void WatchWindow(WindowHandle window) override
    {
        if (!m_display || !m_eventsRunning)
        {
            m_watched = window;
            return;
        }
        // A root's event mask is the root property watch itself; a second
        // XSelectInput on it would replace that mask and stop every event.
        if (window != 0 && IsRootWindow(window))
            window = 0;
        if (window == m_watched && window != 0)
            return;
        RequestScope scope(*this);
        XErrorTrap trap(m_display);
        // The previous one may be gone already; the trap takes its error.
        if (m_watched != 0)
            XSelectInput(m_display, static_cast<Window>(m_watched), NoEventMask);
        trap.Failed();
        m_watched = window;
        m_watchedAlive = false;
        if (window == 0)
            return;
        XErrorTrap watch(m_display);
        XSelectInput(m_display, static_cast<Window>(window), StructureNotifyMask);
        // A window destroyed before this request is refused with BadWindow;
        // one destroyed after it sends its DestroyNotify.
        m_watchedAlive = !watch.Failed();
    }

    // The connection reported an error: from now on every question is asked
    // of the server again, rather than answered from what events said last.
    void StopEvents()
    {
        m_eventsRunning = false;
        delete m_source;
        m_source = nullptr;
    }

    // Handles everything the server has sent, one event at a time, telling
    // each change of the foreground window as it is seen.
    void ReadEvents()
    {
        if (m_reading || !m_display)
            return;
        m_reading = true;
        std::vector<Change> changes;
        while (XPending(m_display) > 0)
        {
            // Everything waiting is read first, each foreground value as soon
            // as its notification is seen; logging comes after, since it is
            // slow enough for a quick switch to pass unseen meanwhile.
            while (XPending(m_display) > 0)
            {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == PropertyNotify)
                {
                    if (event.xproperty.window == m_root && event.xproperty.atom == m_activeWindow)
                    {
                        const WindowHandle value = ReadForeground();
                        if (value != (changes.empty() ? m_foreground : changes.back().window))
                        {
                            const SteadyClock::time_point now = SteadyClock::now();
                            changes.push_back(Change{value, now, TakeRequest(value, now),
                                                     event.xproperty.time, m_lastKeyTime,
                                                     m_lastClickTime, m_lastClickAt});
                        }
                    }
                }
                else if (event.type == ClientMessage)
                {
                    if (event.xclient.message_type == m_activeWindow && event.xclient.format == 32)
                        KeepRequest(event.xclient.window, event.xclient.data.l[0]);
                    else if (event.xclient.message_type == m_wmState && event.xclient.format == 32)
                        StateRequest(event.xclient);
                }
                else if (event.type == DestroyNotify)
                {
                    m_demanding.erase(static_cast<WindowHandle>(event.xdestroywindow.window));
                    if (static_cast<WindowHandle>(event.xdestroywindow.window) == m_watched)
                        m_watchedAlive = false;
                    m_appeared.erase(static_cast<WindowHandle>(event.xdestroywindow.window));
                }
                // A client's window is made as the root's child, and taken
                // into the window manager's frame when it maps: either moment
                // makes it new (a window manager that does not reparent maps
                // it where it is).
                else if (event.type == CreateNotify && !event.xcreatewindow.override_redirect)
                    Appeared(event.xcreatewindow.window);
                else if (event.type == ReparentNotify && event.xreparent.event == m_root &&
                         event.xreparent.parent != m_root)
                    Appeared(event.xreparent.window);
                else if (event.type == MapNotify && event.xmap.event == m_root &&
                         !event.xmap.override_redirect)
                    Appeared(event.xmap.window);
                else if (event.type == GenericEvent && m_hasXi && event.xcookie.extension == m_xiOpcode &&
                         XGetEventData(m_display, &event.xcookie))
                {
                    const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
                    // Buttons 4 to 7 are the wheel: scrolling asks for nothing.
                    if (event.xcookie.evtype == XI_RawKeyPress)
                        m_lastKeyTime = raw->time;
                    else if (event.xcookie.evtype == XI_RawButtonPress && raw->detail >= 1 &&
                             raw->detail <= 3)
                    {
                        // A raw event has no position: where the pointer is
                        // now, a moment later, is where it pressed.
                        m_lastClickTime = raw->time;
                        Window root = None, child = None;
                        int x = 0, y = 0, wx = 0, wy = 0;
                        unsigned int mask = 0;
                        if (XQueryPointer(m_display, m_root, &root, &child, &x, &y, &wx, &wy, &mask))
                            m_lastClickAt = {x, y};
                    }
                    XFreeEventData(m_display, &event.xcookie);
                }
                // ConfigureNotify and the rest of the structure traffic of
                // the watched window and the root's children mean nothing here.
            }
            for (const Change& change : changes)
            {
                m_foreground = change.window;
                m_changeSeen = change.seen;
                m_changeRequest = change.request;
                m_change = change;
                if (m_onChange)
                    m_onChange();
            }
            changes.clear();
        }
        m_reading = false;
    }

    ChangeInput InputBeforeChange(unsigned withinMs) override
    {
        ChangeInput input;
        if (m_eventsRunning && !m_changeSeen)
            return input;
        if (m_eventsRunning)
        {
            input.request = m_changeRequest;
            if (m_hasXi)
            {
                // Server times, both: the key pressed before the property
                // changed, as the server ordered them.
                input.tellsKinds = true;
                const auto since = [&](Time pressed) -> std::optional<std::uint64_t> {
                    if (pressed == 0 || pressed > m_change.serverTime)
                        return std::nullopt;
                    return m_change.serverTime - pressed;
                };
                input.sinceKeyMs = since(m_change.keyTime);
                input.sinceClickMs = since(m_change.clickTime);
                // Asked only for a press that may have caused the change.
                if (input.sinceClickMs && *input.sinceClickMs <= withinMs)
                    input.clickOnWindow = FrameHolds(m_change.window, m_change.clickAt);
            }
        }
        if (!m_display || !m_idleInfo)
            return input;
        RequestScope scope(*this);
        XErrorTrap trap(m_display);
        if (!XScreenSaverQueryInfo(m_display, m_root, m_idleInfo) || trap.Failed(false))
            return input;
        // The server counts up to now; the change was seen a little earlier
        // (a sampled change only now).
        const long long sinceChange =
            m_eventsRunning ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                  SteadyClock::now() - *m_changeSeen)
                                  .count()
                            : 0;
        // Input after the change hides how long there was none before it.
        if (sinceChange >= 0 && static_cast<unsigned long long>(sinceChange) <= m_idleInfo->idle)
            input.idleMs = m_idleInfo->idle - static_cast<unsigned long long>(sinceChange);
        return input;
    }

    std::optional<bool> WindowIsNew(WindowHandle window, unsigned withinMs) override
    {
        if (!m_eventsRunning || !m_changeSeen || window != m_foreground)
            return std::nullopt;
        const auto it = m_appeared.find(window);
        if (it == m_appeared.end())
            return false;
        const auto age = *m_changeSeen - it->second;
        return age >= SteadyClock::duration::zero() && age <= std::chrono::milliseconds(withinMs);
    }

    void DebugOutput(const wxString& text) override
    {
        // The nearest thing to a debugger's output window: the traced
        // process's standard error, written only while a debugger is attached.
        WriteToAttachedDebugger(text);
    }

    void GiveForeground(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return;
        RequestScope scope(*this);
        // EWMH's request to activate a window; source 2 because we act for the
        // user who was working in it, which focus-stealing prevention honours.
        XEvent event;
        std::memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = static_cast<Window>(window);
        event.xclient.message_type = m_activeWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XErrorTrap trap(m_display);
        XSendEvent(m_display, m_root, False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        trap.Failed();
    }

private:
    // Whether the point (on the root) lies in the window's top-level frame:
    // the window manager's frame, title bar included.  Unset when the window
    // is gone.
    std::optional<bool> FrameHolds(WindowHandle window, std::pair<int, int> point)
    {
        RequestScope scope(*this);
        XErrorTrap trap(m_display);
        Window frame = static_cast<Window>(window);
        for (int depth = 0; depth < 8; ++depth)
        {
            Window root = None, parent = None, *children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(m_display, frame, &root, &parent, &children, &count))
                return std::nullopt;
            if (children)
                XFree(children);
            if (parent == root || parent == None)
                break;
            frame = parent;
        }
        Window root = None;
        int x = 0, y = 0;
        unsigned int width = 0, height = 0, border = 0, depth = 0;
        if (!XGetGeometry(m_display, frame, &root, &x, &y, &width, &height, &border, &depth) ||
            trap.Failed(false))
            return std::nullopt;
        return point.first >= x && point.second >= y &&
               point.first < x + static_cast<int>(width + 2 * border) &&
               point.second < y + static_cast<int>(height + 2 * border);
    }

    // A window was made or mapped now.  A storm of windows keeps no more
    // than the last few seconds' worth.
    void Appeared(Window window)
    {
        const SteadyClock::time_point now = SteadyClock::now();
        if (m_appeared.size() >= kMaxAppeared)
        {
            for (auto it = m_appeared.begin(); it != m_appeared.end();)
                it = now - it->second > kAppearedLifetime ? m_appeared.erase(it) : std::next(it);
            if (m_appeared.size() >= kMaxAppeared)
                m_appeared.clear();
        }
        m_appeared[static_cast<WindowHandle>(window)] = now;
    }

    // Marks the requests of one public call: events that Xlib queued during
    // them are read from the main loop right afterwards.
    class RequestScope
    {
    public:
        explicit RequestScope(X11WindowPlatform& platform) : m_platform(platform) {}
        ~RequestScope() { m_platform.AfterRequests(); }

    private:
        X11WindowPlatform& m_platform;
    };

    void AfterRequests()
    {
        if (m_eventsRunning && !m_reading && !m_queuedReader->IsRunning() &&
            XEventsQueued(m_display, QueuedAlready) > 0)
            m_queuedReader->StartOnce(0);
    }

    // The window manager's record of the active window; 0 or absent when
    // there is none (or no EWMH window manager at all).
    WindowHandle ReadForeground()
    {
        unsigned long value = 0;
        if (!m_display || !ReadCardinal(m_root, m_activeWindow, XA_WINDOW, value))
            return 0;
        // Any client may write the property; a root window is no program's
        // window, and watching it would touch the event mask we rely on.
        return IsRootWindow(value) ? 0 : static_cast<WindowHandle>(value);
    }

    // An EWMH activation request, seen on its way to the window manager.
    void KeepRequest(Window window, long source)
    {
        if (m_requests.size() >= kMaxRequests)
            m_requests.pop_front();
        const ActivationRequest request = RequestOfSource(source);
        m_requests.push_back(Request{static_cast<WindowHandle>(window), request, SteadyClock::now()});
        // An application's request gets its answer within the lifetime, or
        // was refused.
        if (request == ActivationRequest::Application && m_onAttempt && !m_refusedCheck->IsRunning())
            m_refusedCheck->StartOnce(static_cast<int>(kRequestLifetime.count()) + 20);
    }

    // A client asking the window manager to mark its window as demanding
    // attention (EWMH: to the root, as for activation); told once until it
    // asks for the mark to go.
    void StateRequest(const XClientMessageEvent& message)
    {
        if (static_cast<Atom>(message.data.l[1]) != m_demandsAttention &&
            static_cast<Atom>(message.data.l[2]) != m_demandsAttention)
            return;
        const WindowHandle window = static_cast<WindowHandle>(message.window);
        const long action = message.data.l[0];  // 0 remove, 1 add, 2 toggle
        const bool was = m_demanding.count(window) > 0;
        const bool now = action == 1 || (action == 2 && !was);
        if (!now)
        {
            m_demanding.erase(window);
            return;
        }
        if (was || m_demanding.size() >= kMaxDemanding)
            return;
        m_demanding.insert(window);
        if (m_onAttempt && window != m_foreground)
            m_onAttempt(window, AttemptKind::Attention);
    }

    // Application requests past their lifetime: those that led to no change
    // were refused.
    void ExpireRequests(SteadyClock::time_point now)
    {
        while (!m_requests.empty() && now - m_requests.front().sent > kRequestLifetime)
        {
            const Request expired = m_requests.front();
            m_requests.pop_front();
            if (expired.request == ActivationRequest::Application && m_onAttempt &&
                expired.window != m_foreground)
                m_onAttempt(expired.window, AttemptKind::RefusedRequest);
        }
    }

public:
    void CheckRefused()
    {
        ReadEvents();
        ExpireRequests(SteadyClock::now());
        if (!m_requests.empty() && m_onAttempt)
            m_refusedCheck->StartOnce(static_cast<int>(kRequestLifetime.count()) + 20);
    }

    void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted) override
    {
        m_onAttempt = std::move(attempted);
    }
    bool TellsAttempts() const override { return true; }

private:
    // The latest request for the window that has just become active, taken
    // so that it is matched once; Unknown when none asked for it lately.
    ActivationRequest TakeRequest(WindowHandle window, SteadyClock::time_point now)
    {
        ExpireRequests(now);
        for (auto it = m_requests.rbegin(); it != m_requests.rend(); ++it)
        {
            if (it->window == window)
            {
                const ActivationRequest request = it->request;
                m_requests.erase(std::next(it).base());
                return request;
            }
        }
        return ActivationRequest::Unknown;
    }

    bool IsRootWindow(unsigned long window) const
    {
        for (int screen = 0; screen < ScreenCount(m_display); ++screen)
        {
            if (RootWindow(m_display, screen) == window)
                return true;
        }
        return false;
    }

    bool ReadCardinal(Window window, Atom property, Atom type, unsigned long& value)
    {
        XErrorTrap trap(m_display);
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(m_display, window, property, 0, 1, False, type,
                                              &actualType, &format, &count, &after, &data);
        bool ok = status == Success && !trap.Failed(false) && data && format == 32 && count == 1;
        if (ok)
            value = *reinterpret_cast<unsigned long*>(data);
        if (data)
            XFree(data);
        return ok && value != 0;
    }

    bool ReadBytes(WindowHandle window, Atom property, Atom type, std::string& bytes, Atom& actualType)
    {
        XErrorTrap trap(m_display);
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(m_display, static_cast<Window>(window), property, 0,
                                              kTitleLongs, False, type, &actualType, &format,
                                              &count, &after, &data);
        const bool ok = status == Success && !trap.Failed(false) && data && format == 8;
        if (ok)
            bytes.assign(reinterpret_cast<char*>(data), count);
        if (data)
            XFree(data);
        return ok;
    }

    wxString FromCompoundText(const std::string& bytes)
    {
        XTextProperty property;
        property.value = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.data()));
        property.encoding = m_compoundText;
        property.format = 8;
        property.nitems = bytes.size();
        char** list = nullptr;
        int count = 0;
        wxString text;
        if (Xutf8TextPropertyToTextList(m_display, &property, &list, &count) >= Success && list)
        {
            if (count > 0 && list[0])
                text = DecodeUtf8(list[0], std::strlen(list[0]), false);
            XFreeStringList(list);
        }
        return text;
    }

    unsigned long ClientPid(Window window)
    {
        XErrorTrap trap(m_display);
        XResClientIdSpec query;
        query.client = window;
        query.mask = XRES_CLIENT_ID_PID_MASK;
        long count = 0;
        XResClientIdValue* values = nullptr;
        unsigned long pid = 0;
        if (XResQueryClientIds(m_display, 1, &query, &count, &values) == Success && !trap.Failed(false))
        {
            for (long i = 0; i < count && pid == 0; ++i)
            {
                const pid_t found = XResGetClientPid(&values[i]);
                if (found > 0)
                    pid = static_cast<unsigned long>(found);
            }
        }
        if (values)
            XResClientIdsDestroy(count, values);
        return pid;
    }

    Display* m_display;
    Window m_root = None;
    Atom m_activeWindow = None;
    Atom m_wmName = None;
    Atom m_utf8 = None;
    Atom m_wmPid = None;
    Atom m_compoundText = None;
    bool m_hasXRes = false;
    XScreenSaverInfo* m_idleInfo = nullptr;

    // Event-driven tracking.
    bool m_eventsRunning = false;
    bool m_reading = false;
    WindowHandle m_foreground = 0;
    WindowHandle m_watched = 0;
    bool m_watchedAlive = false;
    std::function<void()> m_onChange;
    // The foreground's change: when it was read, and who asked for it.
    struct Change
    {
        WindowHandle window = 0;
        SteadyClock::time_point seen;
        ActivationRequest request = ActivationRequest::Unknown;
        // The server's times of the change and of the last key and button
        // presses before it (0: none yet).
        Time serverTime = 0;
        Time keyTime = 0;
        Time clickTime = 0;
        std::pair<int, int> clickAt;  // on the root
    };
    Change m_change;
    bool m_hasXi = false;
    int m_xiOpcode = 0;
    Time m_lastKeyTime = 0;
    Time m_lastClickTime = 0;
    std::pair<int, int> m_lastClickAt;
    std::unordered_map<WindowHandle, SteadyClock::time_point> m_appeared;
    static constexpr size_t kMaxAppeared = 4096;
    static constexpr std::chrono::seconds kAppearedLifetime{10};
    // Unset for the window found in front when the events started: its
    // change was never seen.
    std::optional<SteadyClock::time_point> m_changeSeen;
    ActivationRequest m_changeRequest = ActivationRequest::Unknown;
    struct Request
    {
        WindowHandle window;
        ActivationRequest request;
        SteadyClock::time_point sent;
    };
    std::deque<Request> m_requests;
    ConnectionReader m_reader{*this};
    // Made with the events: a timer needs the application's traits.
    std::unique_ptr<QueuedEventsReader> m_queuedReader;
    std::unique_ptr<RefusedRequestCheck> m_refusedCheck{new RefusedRequestCheck(*this)};
    std::function<void(WindowHandle, AttemptKind)> m_onAttempt;
    Atom m_wmState = None;
    Atom m_demandsAttention = None;
    // Windows marked as demanding attention, until they ask for it to go.
    std::set<WindowHandle> m_demanding;
    static constexpr size_t kMaxDemanding = 256;
    wxEventLoopSource* m_source = nullptr;
};

void ConnectionReader::OnReadWaiting()
{
    m_platform.ReadEvents();
}

void ConnectionReader::OnExceptionWaiting()
{
    m_platform.StopEvents();
}

void QueuedEventsReader::Notify()
{
    m_platform.ReadEvents();
}

void RefusedRequestCheck::Notify()
{
    m_platform.CheckRefused();
}
}  // namespace

std::unique_ptr<WindowPlatform> CreateX11WindowPlatform()
{
    return std::make_unique<X11WindowPlatform>();
}
