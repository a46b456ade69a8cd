#pragma once

#include <memory>
#include <vector>

#include <wx/thread.h>

#include "platform/system_log.h"

// A system log in memory, written from the writer's thread: keeps what it
// takes, refuses while told to, and holds the thread inside Write while
// `stalled` (a journal whose socket is full).  The test keeps the state.
struct FakeSystemLogState
{
    wxMutex mutex;
    wxCondition changed{mutex};
    std::vector<SystemLogEvent> taken;
    int writes = 0;  // calls begun, taken or not
    bool stalled = false;
    bool refuse = false;

    void SetStalled(bool on)
    {
        wxMutexLocker lock(mutex);
        stalled = on;
        changed.Broadcast();
    }
    void SetRefusing(bool on)
    {
        wxMutexLocker lock(mutex);
        refuse = on;
    }
    // Wait (5 s at most) until so many calls have begun, or so many events
    // were taken; true if so.
    bool WaitForWrites(int count) { return WaitFor([&] { return writes >= count; }); }
    bool WaitForTaken(size_t count) { return WaitFor([&] { return taken.size() >= count; }); }
    template <typename Condition>
    bool WaitFor(Condition condition)
    {
        wxMutexLocker lock(mutex);
        for (int i = 0; i < 50 && !condition(); ++i)
            changed.WaitTimeout(100);
        return condition();
    }
    std::vector<SystemLogEvent> Taken()
    {
        wxMutexLocker lock(mutex);
        return taken;
    }
};

class FakeSystemLog : public SystemLog
{
public:
    explicit FakeSystemLog(std::shared_ptr<FakeSystemLogState> state) : m_state(std::move(state)) {}

    bool Write(const SystemLogEvent& event, wxString& problem) override
    {
        wxMutexLocker lock(m_state->mutex);
        ++m_state->writes;
        m_state->changed.Broadcast();
        while (m_state->stalled)
            m_state->changed.Wait();
        if (m_state->refuse)
        {
            problem = L"refused";
            return false;
        }
        m_state->taken.push_back(event);
        m_state->changed.Broadcast();
        return true;
    }

private:
    std::shared_ptr<FakeSystemLogState> m_state;
};
