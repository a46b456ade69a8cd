#include "monitor/activity_logger.h"

#include <chrono>
#include <utility>

ActivityLogger::ActivityLogger(WindowPlatform& platform, ShowLine show, RecordingStopped stopped,
                               WallClock now)
    : m_platform(platform), m_now(now), m_monitor(platform, now), m_show(std::move(show)),
      m_stopped(std::move(stopped))
{
}

void ActivityLogger::StartEvents(std::function<bool()> monitoring)
{
    m_monitoring = monitoring;
    // Where the platform reports foreground changes, each one is logged at
    // once: a window that holds the focus for less than a tick is still seen.
    m_platform.StartEvents([this, monitoring = std::move(monitoring)] {
        if (monitoring())
            LogForegroundChange(Seen::Event);
    });
}

bool ActivityLogger::LogForegroundChange(Seen seen)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    ActivityEntry entry;
    if (!m_monitor.FormatForegroundChange(seen, entry))
        return false;
    // Asked at once: the platform measures the input up to the change, and
    // the nearer the change, the less there is to correct.
    const Clock::time_point asking = Clock::now();
    entry.input = m_platform.InputBeforeChange(m_promptedWithinMs);
    const Clock::time_point asked = Clock::now();
    entry.unprompted = IsUnprompted(entry.input, m_promptedWithinMs);
    // A line logged while monitoring is off (the hot key's) ends a hold that
    // began unseen and begins one whose end will go unseen.
    const bool watching = m_monitoring();
    const std::int64_t whenMs = entry.when.GetValue().GetValue();
    if (!watching)
        m_holds.Break();
    std::string module = entry.module.utf8_string();
    entry.previousHeldMs =
        m_holds.Follow(FocusChange{whenMs, entry.window, module, entry.unprompted});
    m_lastLines[module] = entry.number;
    Hold hold;
    hold.startMs = whenMs;
    hold.module = std::move(module);
    hold.title = entry.title.utf8_string();
    hold.take = m_holds.CurrentIsTake();
    hold.unprompted = entry.unprompted;
    const std::optional<Hold> ended = m_history.Begin(std::move(hold), entry.previousHeldMs);
    if (!watching)
    {
        m_holds.Break();
        m_history.Cut(whenMs);
    }
    if (ended && ended->IsEndedTheft() && m_theftEnded)
        m_theftEnded(*ended);
    const Clock::time_point sampled = Clock::now();
    m_show(entry.line);
    const Clock::time_point shown = Clock::now();
    if (m_record.IsOpen())
        Record(entry);
    if (m_reportLineCost)
    {
        const auto us = [](Clock::duration spent) {
            return static_cast<long long>(
                std::chrono::duration_cast<std::chrono::microseconds>(spent).count());
        };
        const Clock::time_point done = Clock::now();
        // The input query is part of the sample, and also told on its own.
        m_platform.DebugOutput(wxString::Format(
            L"line cost %lld us (sample %lld, log %lld, record %lld) input %lld us",
            us(done - started), us(sampled - started), us(shown - sampled), us(done - shown),
            us(asked - asking)));
    }
    return true;
}

void ActivityLogger::BreakHolds()
{
    m_holds.Break();
    m_history.Cut(m_now().GetValue().GetValue());
}

void ActivityLogger::ClearLog()
{
    m_monitor.Clear();
    BreakHolds();
    m_lastLines.clear();
}

std::optional<int> ActivityLogger::LastLineOf(const std::string& module) const
{
    const auto it = m_lastLines.find(module);
    if (it == m_lastLines.end())
        return std::nullopt;
    return it->second;
}

bool ActivityLogger::OpenRecord(const wxString& path, wxString& problem)
{
    if (m_record.Open(path))
    {
        problem.clear();
        return true;
    }
    problem = m_record.TakeNewProblem();
    return false;
}

// The details beyond the log line are asked for only here, so that a line
// that is not recorded costs nothing more.
void ActivityLogger::Record(const ActivityEntry& entry)
{
    RecordDetails details;
    details.pid = entry.pid;
    if (entry.pid != 0)
        m_platform.ProcessExecutablePath(entry.pid, details.path);
    if (m_platform.IsValidWindow(entry.window))
        details.windowClass = m_platform.WindowClass(entry.window);
    if (m_record.Append(entry, details))
        return;
    const wxString problem = m_record.TakeNewProblem();
    if (m_stopped)
        m_stopped(problem);
}
