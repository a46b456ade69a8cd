#pragma once

#include <X11/Xlib.h>

// Catches X errors raised by the requests made while it lives.  An untrapped
// error on GDK's connection would end the whole program, and windows of other
// clients can vanish between any two requests.
class XErrorTrap
{
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to process every request sent so far and reports
    // whether any of them failed.
    bool Failed(bool sync = true);
    // The error code of the first failure, or Success.
    int ErrorCode() const { return m_errorCode; }

private:
    static int Handler(Display* display, XErrorEvent* event);

    Display* m_display;
    XErrorHandler m_previous;
    XErrorTrap* m_outer;
    int m_errorCode = Success;
};
