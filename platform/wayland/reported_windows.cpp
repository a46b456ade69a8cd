#include "platform/wayland/reported_windows.h"

#include "platform/posix/processes.h"

const ReportedWindowsPlatform::Window* ReportedWindowsPlatform::Find(WindowHandle window) const
{
    const auto found = m_windows.find(window);
    return found == m_windows.end() ? nullptr : &found->second;
}

bool ReportedWindowsPlatform::IsValidWindow(WindowHandle window)
{
    return window != 0 && Find(window) != nullptr;
}

wxString ReportedWindowsPlatform::WindowTitle(WindowHandle window)
{
    const Window* found = Find(window);
    return found ? found->title : wxString();
}

unsigned long ReportedWindowsPlatform::WindowProcessId(WindowHandle window)
{
    const Window* found = Find(window);
    return found ? found->pid : 0;
}

bool ReportedWindowsPlatform::ProcessModuleName(unsigned long pid, wxString& name)
{
    return ReadProcessModuleName(pid, name);
}

void ReportedWindowsPlatform::DebugOutput(const wxString& text)
{
    WriteToAttachedDebugger(text);
}

bool ReportedWindowsPlatform::ProcessExecutablePath(unsigned long pid, wxString& path)
{
    return ReadProcessExecutablePath(pid, path);
}

wxString ReportedWindowsPlatform::WindowClass(WindowHandle window)
{
    const Window* found = Find(window);
    return found ? found->appId : wxString();
}

bool ReportedWindowsPlatform::StartEvents(std::function<void()> onChange)
{
    m_onChange = std::move(onChange);
    return true;
}

WindowHandle ReportedWindowsPlatform::HandleFor(const std::string& key, WindowHandle xid)
{
    const auto known = m_byKey.find(key);
    if (known != m_byKey.end())
        return known->second;
    // An X11 id names one live window at a time, like the key; a stale entry
    // under it is a window whose end we missed.
    WindowHandle handle = xid;
    if (handle == 0 || handle >= (WindowHandle(1) << 32))
        handle = m_nextSerial++;
    else if (const Window* old = Find(handle))
        m_byKey.erase(old->key);
    m_windows[handle].key = key;
    m_byKey[key] = handle;
    return handle;
}

void ReportedWindowsPlatform::Describe(WindowHandle window, const wxString& title,
                                       const wxString& appId, unsigned long pid)
{
    const auto found = m_windows.find(window);
    if (found == m_windows.end())
        return;
    found->second.title = title;
    found->second.appId = appId;
    found->second.pid = pid;
}

void ReportedWindowsPlatform::SetTitle(WindowHandle window, const wxString& title)
{
    const auto found = m_windows.find(window);
    if (found != m_windows.end())
        found->second.title = title;
}

void ReportedWindowsPlatform::Forget(WindowHandle window)
{
    const auto found = m_windows.find(window);
    if (found == m_windows.end())
        return;
    m_byKey.erase(found->second.key);
    m_windows.erase(found);
    if (m_pendingFocus == window)
        m_pendingFocus = 0;
}

void ReportedWindowsPlatform::Focus(WindowHandle window)
{
    m_pendingFocus = Find(window) ? window : 0;
    m_focusReported = true;
    // A window that got the focus is a switch at once, so that one read
    // carrying several switches loses none of them; only "nothing" waits.
    if (m_pendingFocus != 0)
        Commit(m_pendingFocus);
}

void ReportedWindowsPlatform::Unfocus(WindowHandle window)
{
    if ((m_focusReported ? m_pendingFocus : m_foreground) == window)
        Focus(0);
}

void ReportedWindowsPlatform::EndOfBatch()
{
    m_committedOnce = true;
    // A batch that said nothing about the focus leaves it where it was,
    // unless it closed the focused window.
    WindowHandle next = m_focusReported ? m_pendingFocus : m_foreground;
    if (!Find(next))
        next = 0;
    m_focusReported = false;
    m_pendingFocus = next;
    Commit(next);
}

void ReportedWindowsPlatform::Commit(WindowHandle window)
{
    if (window == m_foreground)
        return;
    m_foreground = window;
    if (window != 0 && m_onChange)
        m_onChange();
}
