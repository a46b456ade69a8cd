#include "platform/x11/x_error_trap.h"

namespace
{
XErrorTrap* g_innermost = nullptr;

// Syncing costs a round trip; skip it when the server has answered every
// request already, as after a request with a reply.
void SyncIfPending(Display* display)
{
    if (NextRequest(display) - 1 > LastKnownRequestProcessed(display))
        XSync(display, False);
}
}

XErrorTrap::XErrorTrap(Display* display)
    : m_display(display), m_outer(g_innermost)
{
    // Errors of requests sent before belong to the caller, not to this trap.
    SyncIfPending(m_display);
    g_innermost = this;
    m_previous = XSetErrorHandler(&XErrorTrap::Handler);
}

XErrorTrap::~XErrorTrap()
{
    SyncIfPending(m_display);
    XSetErrorHandler(m_previous);
    g_innermost = m_outer;
}

bool XErrorTrap::Failed(bool sync)
{
    if (sync)
        SyncIfPending(m_display);
    return m_errorCode != Success;
}

int XErrorTrap::Handler(Display*, XErrorEvent* event)
{
    if (g_innermost && g_innermost->m_errorCode == Success)
        g_innermost->m_errorCode = event->error_code;
    return 0;
}
