#include "monitor/system_log_writer.h"

#include <chrono>
#include <deque>
#include <utility>
#include <vector>

#include <wx/intl.h>
#include <wx/thread.h>

// What a writer shares with the thread; kept by the thread as well while it
// writes, so that a thread stuck in the log still has what it uses.
struct SystemLogWriter::Shared
{
    std::unique_ptr<SystemLog> log;
    Problem problem;
    std::size_t backlog = 0;
    std::deque<SystemLogEvent> waiting;
    bool told = false;

    // With the hub's mutex held.
    void Tell(const wxString& text)
    {
        if (told)
            return;
        told = true;
        if (problem)
            problem(text);
    }
};

namespace
{
// One thread serves every writer of the process in turn: a log stuck for
// good holds that one thread, where a thread per writer would leave one
// more behind at every switch of the system log.
// (The toolkit's mutex: MinGW's standard library has none.)
struct Hub
{
    wxMutex mutex;
    wxCondition wake{mutex};     // an event waits
    wxCondition written{mutex};  // a write ended
    bool started = false;
    // The writer whose line the thread is writing now, if any.
    const SystemLogWriter::Shared* inWrite = nullptr;
    std::vector<std::shared_ptr<SystemLogWriter::Shared>> writers;
};

// Never destroyed: the thread may be inside the log when the program ends.
Hub& TheHub()
{
    static Hub* hub = new Hub;
    return *hub;
}

std::shared_ptr<SystemLogWriter::Shared> NextWithWork(Hub& hub)
{
    for (const auto& writer : hub.writers)
        if (!writer->waiting.empty())
            return writer;
    return nullptr;
}

void Serve()
{
    Hub& hub = TheHub();
    wxMutexLocker lock(hub.mutex);
    for (;;)
    {
        std::shared_ptr<SystemLogWriter::Shared> writer;
        while (!(writer = NextWithWork(hub)))
            hub.wake.Wait();
        const SystemLogEvent event = std::move(writer->waiting.front());
        writer->waiting.pop_front();
        hub.inWrite = writer.get();
        hub.mutex.Unlock();
        wxString refused;
        const bool written = writer->log->Write(event, refused);
        hub.mutex.Lock();
        hub.inWrite = nullptr;
        if (!written)
            writer->Tell(refused);
        hub.written.Broadcast();
    }
}
}  // namespace

SystemLogWriter::SystemLogWriter(std::unique_ptr<SystemLog> log, Problem problem,
                                 std::size_t backlog)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->log = std::move(log);
    m_shared->problem = std::move(problem);
    m_shared->backlog = backlog;
    Hub& hub = TheHub();
    wxMutexLocker lock(hub.mutex);
    if (!hub.started)
        hub.started = RunDetached(&Serve);
    if (hub.started)
    {
        hub.writers.push_back(m_shared);
        return;
    }
    // Nothing would ever take the lines: said at once, and none are kept.
    m_shared->backlog = 0;
    m_shared->Tell(_("The system log cannot be written: no thread could be started for it."));
}

SystemLogWriter::~SystemLogWriter()
{
    Hub& hub = TheHub();
    wxMutexLocker lock(hub.mutex);
    m_shared->problem = nullptr;
    // Long enough for a journal that keeps up; short enough not to be
    // noticed at exit when it does not.  A thread inside an earlier
    // writer's line is stuck there: waiting for it would gain nothing.
    const Shared* self = m_shared.get();
    const auto settled = [&] {
        return (self->waiting.empty() && hub.inWrite != self) ||
               (hub.inWrite != nullptr && hub.inWrite != self);
    };
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(500);
    for (Clock::time_point now = Clock::now(); !settled() && now < until; now = Clock::now())
        hub.written.WaitTimeout(static_cast<unsigned long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1));
    m_shared->waiting.clear();
    for (auto it = hub.writers.begin(); it != hub.writers.end(); ++it)
        if (*it == m_shared)
        {
            hub.writers.erase(it);
            break;
        }
}

void SystemLogWriter::Post(SystemLogEvent event)
{
    Hub& hub = TheHub();
    {
        wxMutexLocker lock(hub.mutex);
        if (m_shared->waiting.size() >= m_shared->backlog)
        {
            m_shared->Tell(wxString::Format(
                _("The system log has not taken the last %lu lines; it stalls, and lines are lost."),
                static_cast<unsigned long>(m_shared->waiting.size())));
            return;
        }
        m_shared->waiting.push_back(std::move(event));
    }
    // Woken after the lock is given back, the thread need not wait for it.
    hub.wake.Signal();
}
