#pragma once

// Notices shown by the desktop (the session's notification service on
// Linux, a balloon on Windows).  Showing one never waits on another process:
// a service that is slow or never answers costs the notice, never the GUI.
// platform/gdbus on Linux, platform/win32.

#include <memory>

#include <wx/string.h>

class wxWindow;

class DesktopNotices
{
public:
    virtual ~DesktopNotices() = default;
    // A notice of its own each time: one shown while the last is still up
    // replaces nothing.
    virtual void Show(const wxString& title, const wxString& text) = 0;
};

std::unique_ptr<DesktopNotices> CreateDesktopNotices(wxWindow* parent);
