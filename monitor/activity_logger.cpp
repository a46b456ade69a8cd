#include "monitor/activity_logger.h"

#include <chrono>
#include <utility>

#include "monitor/activity_line.h"

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
    // Our own window coming forward is the user's doing (a start, the hot
    // key, a second start), however slowly it came: never told as a theft.
    const bool endedWasOwn = m_currentIsOwn;
    m_currentIsOwn = entry.pid != 0 && entry.pid == m_ownPid;
    if (!watching)
    {
        m_holds.Break();
        m_history.Cut(whenMs);
    }
    if (ended && ended->IsEndedTheft() && !endedWasOwn && m_theftEnded)
        m_theftEnded(*ended);
    const Clock::time_point sampled = Clock::now();
    m_show(entry.line);
    const Clock::time_point shown = Clock::now();
    Clock::time_point recorded = shown;
    Store(entry, recorded);
    if (m_reportLineCost)
    {
        const auto us = [](Clock::duration spent) {
            return static_cast<long long>(
                std::chrono::duration_cast<std::chrono::microseconds>(spent).count());
        };
        const Clock::time_point done = Clock::now();
        // The input query is part of the sample, and also told on its own;
        // the system log's part is only the hand-over to its thread.
        m_platform.DebugOutput(wxString::Format(
            L"line cost %lld us (sample %lld, log %lld, record %lld) input %lld us system %lld us",
            us(done - started), us(sampled - started), us(shown - sampled), us(recorded - shown),
            us(asked - asking), us(done - recorded)));
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

void ActivityLogger::SetSystemLog(std::unique_ptr<SystemLog> log,
                                  SystemLogWriter::Problem problem)
{
    m_systemLog.reset();
    if (log)
        m_systemLog = std::make_unique<SystemLogWriter>(std::move(log), std::move(problem));
}

void ActivityLogger::Store(const ActivityEntry& shown, std::chrono::steady_clock::time_point& recorded)
{
    if (!m_record.IsOpen() && !m_systemLog)
        return;
    if (!m_filter.Admits(shown.module, shown.title))
        return;
    // Without titles the system log's message, the line, goes without it too.
    ActivityEntry untitled;
    if (!m_filter.StoresTitles())
    {
        untitled = shown;
        untitled.title.clear();
        untitled.line = FormatActivityLine(untitled.number, FormatActivityTime(untitled.when),
                                           untitled.module, untitled.title, untitled.window);
    }
    const ActivityEntry& entry = m_filter.StoresTitles() ? shown : untitled;
    // The details beyond the log line are asked for only here, so that a
    // line that is not stored costs nothing more.
    RecordDetails details;
    details.pid = entry.pid;
    if (entry.pid != 0)
        m_platform.ProcessExecutablePath(entry.pid, details.path);
    if (m_platform.IsValidWindow(entry.window))
        details.windowClass = m_platform.WindowClass(entry.window);
    if (m_record.IsOpen())
        Record(entry, details);
    recorded = std::chrono::steady_clock::now();
    if (!m_systemLog)
        return;
    SystemLogEvent event;
    const wxString line = wxString(entry.line).RemoveLast(entry.line.EndsWith(L" \n") ? 2 : 0);
    event.message = ToValidUtf8(line);
    event.unprompted = entry.unprompted.value_or(false);
    event.pid = entry.pid;
    event.fields = RecordFields(entry, details);
    m_systemLog->Post(std::move(event));
}

void ActivityLogger::Record(const ActivityEntry& entry, const RecordDetails& details)
{
    if (m_record.Append(entry, details))
        return;
    const wxString problem = m_record.TakeNewProblem();
    if (m_stopped)
        m_stopped(problem);
}
