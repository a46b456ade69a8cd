#pragma once

#include <cstdint>
#include <memory>

#include <wx/string.h>

// A top-level window as the platform names it: an HWND on Windows, an XID on
// X11.  Zero means "no window".
using WindowHandle = std::uintptr_t;

// The few operating-system calls the monitor and the frame need.  Everything
// above this interface is the same on every platform and can run against a
// fake.
class WindowPlatform
{
public:
    virtual ~WindowPlatform() = default;

    // The window that receives keyboard input now, or 0.
    virtual WindowHandle ForegroundWindow() = 0;
    // True while the handle names an existing window; false for 0.
    virtual bool IsValidWindow(WindowHandle window) = 0;
    // The title, at most 255 characters; empty when the window has none.
    virtual wxString WindowTitle(WindowHandle window) = 0;
    // The id of the process that created the window, or 0 when unknown.
    virtual unsigned long WindowProcessId(WindowHandle window) = 0;
    // The executable's file name without folder; false when the process
    // cannot be inspected.
    virtual bool ProcessModuleName(unsigned long pid, wxString& name) = 0;
    // Text for an attached debugger.
    virtual void DebugOutput(const wxString& text) = 0;
    // Asks for the window to become the foreground window.
    virtual void GiveForeground(WindowHandle window) = 0;
};

// The platform of the running system (X11 or Win32, chosen at build time).
// Never null; on X11 without a display every query answers "no window".
std::unique_ptr<WindowPlatform> CreateWindowPlatform();
