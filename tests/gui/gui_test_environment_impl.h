#pragma once

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

template <typename Condition>
bool PumpUntil(Condition condition, int timeoutMs)
{
    wxStopWatch watch;
    while (!condition())
    {
        if (watch.Time() > timeoutMs)
            return false;
        wxTheApp->ProcessPendingEvents();
        while (wxEventLoopBase::GetActive() && wxEventLoopBase::GetActive()->Pending())
            wxEventLoopBase::GetActive()->Dispatch();
        wxTheApp->ProcessIdle();
        wxMilliSleep(5);
    }
    return true;
}
