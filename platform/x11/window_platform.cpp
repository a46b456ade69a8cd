// X11 side of the platform: EWMH properties read on a connection of our own,
// every request on a foreign window under an error trap.
#include "platform/platform.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include "platform/x11/x_error_trap.h"

namespace
{
// 255 characters of up to four UTF-8 bytes each, plus one to see a longer title.
constexpr long kTitleLongs = 256;

// Decodes UTF-8 leniently: a trailing sequence cut by the length limit is
// dropped, and text that is not UTF-8 at all is read as Latin-1.
wxString DecodeUtf8(const char* data, size_t length)
{
    size_t end = length;
    size_t back = 0;
    while (end > 0 && back < 4 && (static_cast<unsigned char>(data[end - 1]) & 0xC0) == 0x80)
    {
        --end;
        ++back;
    }
    if (end > 0)
    {
        const unsigned char lead = static_cast<unsigned char>(data[end - 1]);
        size_t need = 0;
        if (lead >= 0xF0) need = 4;
        else if (lead >= 0xE0) need = 3;
        else if (lead >= 0xC0) need = 2;
        if (need == 0 || need == back + 1)
            end = length;  // complete, or plain ASCII at the end
        else
            --end;  // an incomplete sequence: drop its lead byte and the rest
    }
    wxString text = wxString::FromUTF8(data, end);
    if (text.empty() && end > 0)
        text = wxString(data, wxConvISO8859_1, end);
    return text;
}

class X11WindowPlatform final : public WindowPlatform
{
public:
    X11WindowPlatform() : m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        m_root = DefaultRootWindow(m_display);
        const char* names[] = {"_NET_ACTIVE_WINDOW", "_NET_WM_NAME", "UTF8_STRING",
                               "_NET_WM_PID", "COMPOUND_TEXT"};
        Atom atoms[5];
        XInternAtoms(m_display, const_cast<char**>(names), 5, False, atoms);
        m_activeWindow = atoms[0];
        m_wmName = atoms[1];
        m_utf8 = atoms[2];
        m_wmPid = atoms[3];
        m_compoundText = atoms[4];
        int eventBase = 0, errorBase = 0;
        m_hasXRes = XResQueryExtension(m_display, &eventBase, &errorBase);
    }

    ~X11WindowPlatform() override
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    WindowHandle ForegroundWindow() override
    {
        if (!m_display)
            return 0;
        // The window manager's record of the active window; 0 or absent when
        // there is none (or no EWMH window manager at all).
        unsigned long value = 0;
        if (!ReadCardinal(m_root, m_activeWindow, XA_WINDOW, value))
            return 0;
        return static_cast<WindowHandle>(value);
    }

    bool IsValidWindow(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return false;
        XErrorTrap trap(m_display);
        XWindowAttributes attributes;
        const Status ok = XGetWindowAttributes(m_display, static_cast<Window>(window), &attributes);
        return ok != 0 && !trap.Failed(false);
    }

    wxString WindowTitle(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return wxString();
        std::string bytes;
        Atom type = None;
        if (ReadBytes(window, m_wmName, m_utf8, bytes, type) && type == m_utf8)
            return DecodeUtf8(bytes.data(), bytes.size()).Left(255);
        if (!ReadBytes(window, XA_WM_NAME, AnyPropertyType, bytes, type))
            return wxString();
        if (type == m_utf8)
            return DecodeUtf8(bytes.data(), bytes.size()).Left(255);
        if (type == m_compoundText)
            return FromCompoundText(bytes).Left(255);
        return wxString(bytes.data(), wxConvISO8859_1, bytes.size()).Left(255);
    }

    unsigned long WindowProcessId(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return 0;
        unsigned long pid = 0;
        if (ReadCardinal(static_cast<Window>(window), m_wmPid, XA_CARDINAL, pid) && pid != 0)
            return pid;
        return m_hasXRes ? ClientPid(static_cast<Window>(window)) : 0;
    }

    bool ProcessModuleName(unsigned long pid, wxString& name) override
    {
        wxString path;
        if (!ProcessExecutablePath(pid, path))
            return false;
        name = path.AfterLast(L'/');
        return !name.empty();
    }

    bool ProcessExecutablePath(unsigned long pid, wxString& path) override
    {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/%lu/exe", pid);
        char target[4096];
        const ssize_t length = readlink(link, target, sizeof target - 1);
        if (length <= 0)
            return false;  // gone, or another user's process
        path = wxString::FromUTF8(target, static_cast<size_t>(length));
        if (path.empty())
            path = wxString(target, wxConvISO8859_1, static_cast<size_t>(length));
        return !path.empty();
    }

    wxString WindowClass(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return wxString();
        // WM_CLASS holds the instance name and then the class name.
        std::string bytes;
        Atom type = None;
        if (!ReadBytes(window, XA_WM_CLASS, XA_STRING, bytes, type))
            return wxString();
        const size_t end = bytes.find('\0');
        const std::string className = end == std::string::npos ? std::string() : bytes.substr(end + 1);
        return wxString(className.c_str(), wxConvISO8859_1);
    }

    bool StartEvents(std::function<void()>) override { return false; }
    void WatchWindow(WindowHandle) override {}

    void DebugOutput(const wxString& text) override
    {
        // The nearest thing to a debugger's output window: the traced
        // process's standard error, written only while a debugger is attached.
        if (!TracerAttached())
            return;
        const wxScopedCharBuffer utf8 = text.utf8_str();
        ssize_t ignored = write(STDERR_FILENO, utf8.data(), utf8.length());
        (void)ignored;
    }

    void GiveForeground(WindowHandle window) override
    {
        if (!m_display || window == 0)
            return;
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
                text = DecodeUtf8(list[0], std::strlen(list[0]));
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

    static bool TracerAttached()
    {
        FILE* status = std::fopen("/proc/self/status", "r");
        if (!status)
            return false;
        char line[256];
        long tracer = 0;
        while (std::fgets(line, sizeof line, status))
        {
            if (std::sscanf(line, "TracerPid: %ld", &tracer) == 1)
                break;
        }
        std::fclose(status);
        return tracer != 0;
    }

    Display* m_display;
    Window m_root = None;
    Atom m_activeWindow = None;
    Atom m_wmName = None;
    Atom m_utf8 = None;
    Atom m_wmPid = None;
    Atom m_compoundText = None;
    bool m_hasXRes = false;
};
}  // namespace

std::unique_ptr<WindowPlatform> CreateWindowPlatform()
{
    return std::make_unique<X11WindowPlatform>();
}
