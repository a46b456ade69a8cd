#pragma once

// A start with MinimizeOnRun leaves the user in the window they were working
// in.  Handing the foreground back once is not always enough: making the
// tray icon can take it again after the fact (under Wine the docked icon's
// window leaves no window in front at all).  So for a while after the start,
// a foreground that is ours or nobody's goes back to where the user was;
// once the user is elsewhere, or our frame is shown, it stops.

#include "platform/window_tracking.h"

class StartHandBack
{
public:
    // ownPid: our process, whose windows are never where the user was.
    StartHandBack(WindowPlatform& platform, unsigned long ownPid, int ticks)
        : m_platform(platform), m_ownPid(ownPid), m_ticks(ticks)
    {
    }

    // Before our frame appears: the window the user is in now.
    void Remember();
    // Gives it the foreground now (if it still exists), and watches for the
    // next `ticks` ticks again: after Show, after the tray icon is made.
    void GiveBack();
    // One monitor tick.
    void Tick(bool frameShown);
    // Whether there is still a window to keep handing back to.
    bool Active() const { return m_to != 0; }

private:
    WindowPlatform& m_platform;
    unsigned long m_ownPid;
    int m_ticks;
    WindowHandle m_to = 0;
    int m_ticksLeft = 0;
};
