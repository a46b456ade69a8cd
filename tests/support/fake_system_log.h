#pragma once

#include <wx/utils.h>

#include <memory>
#include <vector>

#include <wx/thread.h>

#include "platform/system_log.h"

// A system log in memory, written from the writer's thread: keeps what it
// takes, refuses while `refuse`, and holds the thread inside Write while
// `stalled` (a journal whose socket is full).  The test keeps the state and
// changes it through Set.
struct FakeSystemLogState
{
    wxMutex mutex;
    wxCondition changed{mutex};
    std::vector<SystemLogEvent> taken;
    int writes = 0;  // calls begun, taken or not
    bool stalled = false;
    bool refuse = false;

    template <typename Change>
    void Set(Change change)
    {
        wxMutexLocker lock(mutex);
        change(*this);
        changed.Broadcast();
    }
    // Waits (5 s at most) until the condition holds; true if it does.
    template <typename Condition>
    bool WaitFor(Condition condition)
    {
        // Polled, so that a wake-up missed between two looks costs at most
        // a tenth of a second, never the answer.
        for (int i = 0; i < 50; ++i)
        {
            {
                wxMutexLocker lock(mutex);
                if (condition(*this))
                    return true;
            }
            wxMilliSleep(100);
        }
        wxMutexLocker lock(mutex);
        return condition(*this);
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
            problem = L"refused";
        else
            m_state->taken.push_back(event);
        m_state->changed.Broadcast();
        return !m_state->refuse;
    }

private:
    std::shared_ptr<FakeSystemLogState> m_state;
};
