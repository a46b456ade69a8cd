#include "monitor/activity_logger.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "monitor/activity_line.h"

ActivityLogger::ActivityLogger(WindowPlatform& platform, ShowLine show, RecordingStopped stopped,
                               WallClock now)
    : m_platform(platform), m_now(now), m_monitor(platform, now), m_chains(platform),
      m_show(std::move(show)),
      m_stopped(std::move(stopped))
{
}

void ActivityLogger::StartEvents(std::function<bool()> monitoring)
{
    m_monitoring = monitoring;
    // Where the platform reports foreground changes, each one is logged at
    // once: a window that holds the focus for less than a tick is still seen.
    m_platform.StartEvents([this, monitoring] {
        if (monitoring())
            LogForegroundChange(Seen::Event);
    });
    m_platform.WatchAttempts([this, monitoring](WindowHandle window, AttemptKind kind) {
        if (monitoring())
            LogAttempt(window, kind);
    });
}

void ActivityLogger::LogAttempt(WindowHandle window, AttemptKind kind)
{
    ActivityEntry entry;
    entry.when = m_now();
    const std::int64_t whenMs = entry.when.GetValue().GetValue();
    // A window that asks again and again is one attempt a second.
    auto last = m_lastAttempts.find(window);
    if (last != m_lastAttempts.end() && whenMs >= last->second && whenMs - last->second < 1000)
        return;
    if (m_lastAttempts.size() >= kMostWindows)
        m_lastAttempts.clear();
    m_lastAttempts[window] = whenMs;
    entry.window = window;
    entry.seen = Seen::Attempt;
    entry.attempt = kind;
    entry.focused = m_monitor.LastWindow();
    m_monitor.GetWindowIdentity(window, entry.module, entry.title, &entry.pid);
    // Who is behind it, as for a take; the window in front stays the one a
    // take would rob.
    const WindowHandle previousWindow = m_previousWindow;
    const unsigned long previousPid = m_previousPid;
    NameCulprit(entry);
    m_previousWindow = previousWindow;
    m_previousPid = previousPid;
    // No input judged, no take: what it did is ask.
    entry.unprompted.reset();
    entry.cause = TakeCause::Unknown;
    entry.own = entry.pid != 0 && entry.pid == m_ownPid;
    const std::string program = ShownText(entry.program).utf8_string();
    entry.line = wxString::Format(L"%s asked for the focus and was refused (%s): %s (%llu) \n",
                                  ShownText(entry.program), AttemptKindName(kind), ShownText(entry.title),
                                  static_cast<unsigned long long>(window));
    if (!entry.own)
    {
        m_holds.AddAttempt(program, whenMs);
        m_launcherHolds.AddAttempt(
            entry.launcher.empty() ? std::string(kNoLauncher) : ShownText(entry.launcher).utf8_string(), whenMs);
        m_history.AddAttempt(program, whenMs);
        if (m_attempted)
            m_attempted(program, whenMs);
    }
    std::chrono::steady_clock::time_point recorded;
    Store(entry, recorded);
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
    entry.newWindow = m_platform.WindowIsNew(entry.window, kNewWindowWithinMs);
    const Clock::time_point asked = Clock::now();
    // The line goes out before anything is read about who is behind it.
    m_show(entry.line);
    const Clock::time_point shown = Clock::now();
    NameCulprit(entry);
    const Clock::time_point named = Clock::now();
    // A line logged while monitoring is off (the hot key's) ends a hold that
    // began unseen and begins one whose end will go unseen.
    const bool watching = m_monitoring();
    const std::int64_t whenMs = entry.when.GetValue().GetValue();
    if (!watching)
        BreakHoldsOnly();
    // A window whose compositor went away since the last change held the
    // focus only up to that loss, as far as anyone can tell.
    if (const std::int64_t lossMs = m_platform.LastLossMs(); lossMs != m_seenLossMs)
    {
        m_seenLossMs = lossMs;
        m_holds.EndAt(lossMs);
        m_launcherHolds.EndAt(lossMs);
    }
    // The pane and the notices show these names: as the log shows them.
    std::string program = ShownText(entry.program).utf8_string();
    entry.own = entry.pid != 0 && entry.pid == m_ownPid;
    entry.previousHeldMs =
        m_holds.Follow(FocusChange{whenMs, entry.window, program, entry.unprompted,
                                   ShownText(entry.launcher).utf8_string(), entry.own});
    m_lastLines[program] = entry.number;
    // The same bookkeeping by launcher, for the pane's other grouping.
    const std::string launcher = entry.launcher.empty() ? std::string(kNoLauncher) : ShownText(entry.launcher).utf8_string();
    m_launcherHolds.Follow(FocusChange{whenMs, entry.window, launcher, entry.unprompted, program, entry.own});
    m_lastLauncherLines[launcher] = entry.number;
    if (entry.facts)
        m_lastFacts[program] = entry.facts;
    Hold hold;
    hold.startMs = whenMs;
    hold.module = std::move(program);
    hold.title = ShownText(entry.title).utf8_string();
    hold.take = m_holds.CurrentIsTake();
    hold.unprompted = entry.unprompted;
    const std::optional<Hold> ended = m_history.Begin(std::move(hold), entry.previousHeldMs);
    // Our own window coming forward is the user's doing (a start, the hot
    // key, a second start), however slowly it came: never told as a theft.
    const bool endedWasOwn = m_currentIsOwn;
    m_currentIsOwn = entry.own;
    if (!watching)
    {
        BreakHoldsOnly();
        m_history.Cut(whenMs);
    }
    if (ended && ended->IsEndedTheft() && !endedWasOwn && m_theftEnded)
        m_theftEnded(*ended, m_endedLauncher);
    m_endedLauncher = ShownText(entry.launcher);
    Clock::time_point recorded = Clock::now();
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
            L"line cost %lld us (sample %lld, log %lld, record %lld) input %lld us system %lld us"
            L" culprit %lld us",
            us(done - started), us(shown - started - (shown - asked)), us(shown - asked),
            us(recorded - named), us(asked - asking), us(done - recorded), us(named - shown)));
    }
    return true;
}

void ActivityLogger::NameCulprit(ActivityEntry& entry)
{
    const std::int64_t whenMs = entry.when.GetValue().GetValue();
    TakeFacts take;
    take.input = entry.input;
    take.newWindow = entry.newWindow;
    wxString clientModule;
    unsigned long process = entry.pid;
    if (entry.pid != 0)
    {
        if (const unsigned long client = m_platform.WindowClientProcess(entry.window, entry.clientHow))
            process = client;
        else
            entry.clientHow.clear();
        // A window lives no longer than its process: while the same window
        // names the same process, what was read of it still holds.
        const auto known = m_windowFacts.find(entry.window);
        if (known != m_windowFacts.end() && known->second.pid == entry.pid &&
            known->second.process == process && known->second.module == entry.module)
        {
            entry.facts = known->second.facts;
            entry.program = known->second.program;
        }
        else
        {
            entry.facts = m_chains.Facts(process);
            if (process != entry.pid)
                clientModule = entry.facts->process.module;
            // Only a host's windows need their class to be told apart.
            const wxString windowClass =
                IsHost(entry.module) ? m_platform.WindowClass(entry.window) : wxString();
            entry.program = ProgramName(entry.module, windowClass, clientModule);
            if (m_windowFacts.size() >= kMostWindows)
                m_windowFacts.clear();
            m_windowFacts[entry.window] =
                KnownWindow{entry.pid, process, entry.module, entry.facts, entry.program};
        }
        entry.launcher = entry.facts->launcher;
        take.pid = process;
        for (const ProcessLink& link : entry.facts->parents)
            take.launchers.push_back(link.pid);
    }
    else
    {
        entry.program = entry.module;
    }
    take.previousPid = m_previousPid;
    if (entry.newWindow == true && m_previousWindow != 0)
        take.previousGone = !m_platform.IsValidWindow(m_previousWindow);
    TakeVerdict verdict = JudgeTake(take, m_promptedWithinMs);
    // Only a take that looks unasked, of a window that a process that was
    // there before made or raised on request, is worth the look at every
    // process (a millisecond or two): a host's window is often asked for by
    // a process that has just started.  A process started just now has its
    // own launchers for that, and the focus merely coming back asks nothing.
    const bool longLived = entry.facts && entry.facts->process.startedMs &&
                           whenMs - *entry.facts->process.startedMs > kNewWindowWithinMs;
    const bool made = entry.newWindow != false || entry.input.request == ActivationRequest::Application;
    if (verdict.unprompted == true && longLived && made)
    {
        entry.recent = m_chains.StartedBetween(whenMs - kNewWindowWithinMs, whenMs + kStartSlackMs,
                                               take.pid, kMostRecent + 1);
        // Corvalin's own children (none, usually) are no suspects.
        entry.recent.erase(std::remove_if(entry.recent.begin(), entry.recent.end(),
                                          [this](const auto& facts) {
                                              return facts->process.pid == m_ownPid;
                                          }),
                           entry.recent.end());
        if (entry.recent.size() > kMostRecent)
            entry.recent.resize(kMostRecent);
        for (const auto& recent : entry.recent)
        {
            for (const ProcessLink& link : recent->parents)
                take.launchedFromPrevious |= m_previousPid != 0 && link.pid == m_previousPid;
        }
        if (take.launchedFromPrevious)
            verdict = JudgeTake(take, m_promptedWithinMs);
        entry.recentLooked = verdict.unprompted == true;
        if (!entry.recentLooked)
            entry.recent.clear();
    }
    entry.unprompted = verdict.unprompted;
    entry.cause = verdict.cause;
    m_previousPid = process;
    m_previousWindow = entry.window;
}

void ActivityLogger::BreakHoldsOnly()
{
    m_holds.Break();
    m_launcherHolds.Break();
}

void ActivityLogger::BreakHolds()
{
    BreakHoldsOnly();
    m_history.Cut(m_now().GetValue().GetValue());
}

void ActivityLogger::ClearLog()
{
    m_monitor.Clear();
    BreakHolds();
    m_lastLines.clear();
    m_lastLauncherLines.clear();
}

std::optional<int> ActivityLogger::LastLineOf(const std::string& module, bool byLauncher) const
{
    const std::map<std::string, int>& lines = byLauncher ? m_lastLauncherLines : m_lastLines;
    const auto it = lines.find(module);
    if (it == lines.end())
        return std::nullopt;
    return it->second;
}

std::shared_ptr<const ProcessFacts> ActivityLogger::LastFactsOf(const std::string& program) const
{
    const auto it = m_lastFacts.find(program);
    return it == m_lastFacts.end() ? nullptr : it->second;
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
    // A launcher kept out keeps out what it started.
    if (!shown.launcher.empty() && m_filter.ExcludesModule(shown.launcher))
        return;
    if (shown.facts)
    {
        if (shown.facts->process.pid != shown.pid && m_filter.ExcludesModule(shown.facts->process.module))
            return;
        for (const ProcessLink& link : shown.facts->parents)
        {
            if (m_filter.ExcludesModule(link.module))
                return;
        }
    }
    // Without titles the system log's message, the line, goes without it too.
    ActivityEntry untitled;
    if (!m_filter.StoresTitles())
    {
        untitled = shown;
        untitled.title.clear();
        untitled.line = shown.attempt
                            ? shown.line.BeforeLast(L':') + L" \n"
                            : FormatActivityLine(untitled.number, FormatActivityTime(untitled.when),
                                                 untitled.module, untitled.title, untitled.window);
    }
    const ActivityEntry& entry = m_filter.StoresTitles() ? shown : untitled;
    // The details beyond the log line are asked for only here, so that a
    // line that is not stored costs nothing more.
    RecordDetails details;
    details.pid = entry.pid;
    details.commandLines = m_filter.StoresCommandLines();
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
    event.attempt = entry.attempt.has_value();
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
