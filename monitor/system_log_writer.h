#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include <wx/string.h>

#include "platform/system_log.h"

// Hands events to the system log from a thread: a journal that stalls (its
// socket full, its daemon stopped) must never stop the main loop, and a line
// must still leave at once when the log keeps up.  One thread serves every
// writer of the process, so switching the log on and off while the journal
// is stuck leaves no thread behind.
class SystemLogWriter
{
public:
    // Told once, from either thread, the first time an event is lost: the
    // log refused it, or so many wait that the log cannot be keeping up.
    // Lines are lost silently after that, until a new writer.
    using Problem = std::function<void(const wxString& problem)>;

    static constexpr std::size_t kDefaultBacklog = 256;

    SystemLogWriter(std::unique_ptr<SystemLog> log, Problem problem,
                    std::size_t backlog = kDefaultBacklog);
    // Gives the events still waiting a moment to get out, then drops them;
    // the thread, if stuck in the log, is left to it and serves the next
    // writer once free.  No Problem is told from now on.
    ~SystemLogWriter();
    SystemLogWriter(const SystemLogWriter&) = delete;
    SystemLogWriter& operator=(const SystemLogWriter&) = delete;

    // Queues the event and returns without waiting for the log.
    void Post(SystemLogEvent event);

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};
