#include "monitor/foreground_change.h"

#include "monitor/activity_line.h"

void GetWindowIdentity(WindowPlatform& platform, WindowHandle window,
                       wxString& module, wxString& title)
{
    title = kNotAValidWindow;
    module = kNotAValidWindow;
    if (!platform.IsValidWindow(window))
        return;
    title = platform.WindowTitle(window).Left(255);
    const unsigned long pid = platform.WindowProcessId(window);
    wxString name;
    if (pid != 0 && platform.ProcessModuleName(pid, name))
        module = name;
}

wxString FormatForegroundChange(WindowPlatform& platform, WindowHandle& lastWindow,
                                int& lineCount, WallClock now)
{
    const WindowHandle foreground = platform.ForegroundWindow();
    if (foreground == 0)
        return wxString();
    // A destroyed window's handle may be reused by a new window; forgetting it
    // makes sure the newcomer is logged.
    if (!platform.IsValidWindow(lastWindow))
        lastWindow = 0;
    if (foreground == lastWindow)
        return wxString();
    lastWindow = foreground;

    wxString module, title;
    GetWindowIdentity(platform, foreground, module, title);
    const wxDateTime when = now();
    platform.DebugOutput(L"1");
    ++lineCount;
    return FormatActivityLine(lineCount, FormatActivityTime(when), module,
                              title, foreground);
}
