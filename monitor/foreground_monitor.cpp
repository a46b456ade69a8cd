#include "monitor/foreground_monitor.h"

#include "monitor/activity_line.h"

ForegroundMonitor::ForegroundMonitor(WindowPlatform& platform, WallClock now)
    : m_platform(platform), m_now(now)
{
}

void ForegroundMonitor::GetWindowIdentity(WindowHandle window, wxString& module, wxString& title,
                                          unsigned long* pidOut)
{
    title = kNotAValidWindow;
    module = kNotAValidWindow;
    if (pidOut)
        *pidOut = 0;
    if (!m_platform.IsValidWindow(window))
        return;
    title = CleanTitle(m_platform.WindowTitle(window));
    const unsigned long pid = m_platform.WindowProcessId(window);
    if (pidOut)
        *pidOut = pid;
    wxString name;
    if (pid != 0 && m_platform.ProcessModuleName(pid, name))
        module = name;
    // Where the window system names no process, the name it gives the
    // program beats calling a valid window invalid.
    else if (!(name = m_platform.WindowAppId(window)).empty())
        module = name;
}

bool ForegroundMonitor::FormatForegroundChange(Seen seen, ActivityEntry& entry)
{
    const WindowHandle foreground = m_platform.ForegroundWindow();
    if (foreground == 0)
        return false;
    // A destroyed window's handle may be reused by a new window; forgetting it
    // makes sure the newcomer is logged.
    if (!m_platform.IsValidWindow(m_lastWindow))
        m_lastWindow = 0;
    if (foreground == m_lastWindow)
        return false;
    // A window manager may go on naming a window that no longer exists; it
    // has had its "Not a valid window" line, and one is enough.
    if (foreground == m_vanished && !m_platform.IsValidWindow(foreground))
        return false;
    m_lastWindow = foreground;
    m_platform.WatchWindow(foreground);

    entry.window = foreground;
    entry.seen = seen;
    GetWindowIdentity(foreground, entry.module, entry.title, &entry.pid);
    m_vanished = entry.module == kNotAValidWindow && entry.title == kNotAValidWindow ? foreground : 0;
    // A queued event is stamped with when it happened, not when its turn came.
    const wxDateTime told = m_platform.ChangeTime();
    entry.when = told.IsValid() ? told : m_now();
    m_platform.DebugOutput(L"1");
    entry.number = ++m_lineCount;
    entry.line = FormatActivityLine(entry.number, FormatActivityTime(entry.when), entry.module,
                                    entry.title, foreground);
    return true;
}

void ForegroundMonitor::Clear()
{
    m_lineCount = 0;
    m_lastWindow = 0;
    m_vanished = 0;
    m_platform.WatchWindow(0);
}
