#include "monitor/system_log_writer.h"

#include <chrono>
#include <deque>
#include <utility>

#include <wx/intl.h>
#include <wx/thread.h>

// Kept by the thread as well, so that a thread left stuck in the log at the
// end still has what it uses.
struct SystemLogWriter::Shared
{
    std::unique_ptr<SystemLog> log;
    Problem problem;
    std::size_t backlog = 0;
    wxMutex mutex;
    wxCondition wake{mutex};
    wxCondition done{mutex};
    std::deque<SystemLogEvent> waiting;
    bool stopping = false;
    bool finished = false;
    bool told = false;

    // With the mutex held.
    void Tell(const wxString& text)
    {
        if (told)
            return;
        told = true;
        if (problem)
            problem(text);
    }

    void Run()
    {
        wxMutexLocker lock(mutex);
        for (;;)
        {
            while (!stopping && waiting.empty())
                wake.Wait();
            if (waiting.empty())
                break;
            const SystemLogEvent event = std::move(waiting.front());
            waiting.pop_front();
            mutex.Unlock();
            wxString refused;
            const bool written = log->Write(event, refused);
            mutex.Lock();
            if (!written)
                Tell(refused);
        }
        finished = true;
        done.Broadcast();
    }
};

SystemLogWriter::SystemLogWriter(std::unique_ptr<SystemLog> log, Problem problem,
                                 std::size_t backlog)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->log = std::move(log);
    m_shared->problem = std::move(problem);
    m_shared->backlog = backlog;
    if (RunDetached([shared = m_shared] { shared->Run(); }))
        return;
    // Nothing would ever take the lines: said at once, and none are kept.
    m_shared->backlog = 0;
    wxMutexLocker lock(m_shared->mutex);
    m_shared->finished = true;
    m_shared->Tell(_("The system log cannot be written: no thread could be started for it."));
}

SystemLogWriter::~SystemLogWriter()
{
    wxMutexLocker lock(m_shared->mutex);
    m_shared->problem = nullptr;
    m_shared->stopping = true;
    m_shared->wake.Signal();
    // Long enough for a journal that keeps up; short enough not to be
    // noticed at exit when it does not.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(500);
    for (Clock::time_point now = Clock::now(); !m_shared->finished && now < until; now = Clock::now())
        m_shared->done.WaitTimeout(static_cast<unsigned long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1));
    m_shared->waiting.clear();
}

void SystemLogWriter::Post(SystemLogEvent event)
{
    {
        wxMutexLocker lock(m_shared->mutex);
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
    m_shared->wake.Signal();
}
