#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <memory>

#include <wx/string.h>
#include <wx/utils.h>

#include "monitor/activity_record.h"
#include "monitor/focus_holds.h"
#include "monitor/hold_history.h"
#include "monitor/foreground_monitor.h"
#include "monitor/record_filter.h"
#include "monitor/system_log_writer.h"

// Ties the monitor to what it feeds: the Activity log (through a function the
// frame gives), the optional record file and system log, and the platform's
// change events.
// The frame's timer, hot key and second starts come in through
// LogForegroundChange; the events come in here, while monitoring is on.
class ActivityLogger
{
public:
    // Shows one line, ending in " \n", in the Activity log.
    using ShowLine = std::function<void(const wxString& line)>;
    // Told once when recording stops for good, with the reason.
    using RecordingStopped = std::function<void(const wxString& problem)>;
    // Told when an unprompted take, seen as it happened, has ended, with
    // the launcher that names who started its window (empty for none).
    using TheftEnded = std::function<void(const Hold& hold, const wxString& launcher)>;

    ActivityLogger(WindowPlatform& platform, ShowLine show, RecordingStopped stopped,
                   WallClock now = &wxDateTime::UNow);

    // Follows the platform's change events from now on; each is logged at
    // once while `monitoring` answers true.
    void StartEvents(std::function<bool()> monitoring);

    // One sample: when the foreground window changed, its line goes to the
    // log and, while recording, to the record file.  True when a line was
    // logged.
    bool LogForegroundChange(Seen seen);
    // A try at the focus the desktop refused: no line in the log, but a
    // line in the record and the system log, counted for its program, told
    // when asked.  At most one per window a second.
    void LogAttempt(WindowHandle window, AttemptKind kind);
    using Attempted = std::function<void(const std::string& program, std::int64_t whenMs)>;
    void OnAttempt(Attempted told) { m_attempted = std::move(told); }

    // Record file: false with the reason in `problem` when it cannot be used.
    bool OpenRecord(const wxString& path, wxString& problem);
    void CloseRecord() { m_record.Close(); }
    bool IsRecording() const { return m_record.IsOpen(); }

    // The system log: from now on each stored change goes there too, unless
    // `log` is null.  `problem` is told once, from any thread, when lines
    // stop getting there; logging goes on.
    void SetSystemLog(std::unique_ptr<SystemLog> log, SystemLogWriter::Problem problem);
    bool IsSystemLogOn() const { return m_systemLog != nullptr; }

    // What of each change the record file and the system log may get.
    RecordFilter& Filter() { return m_filter; }

    // With it set, each line's cost goes to the debugger output ("line cost
    // N us (sample S, log L, record R) input I us system J us"), to measure
    // what a line costs.
    void ReportLineCost(bool report) { m_reportLineCost = report; }

    ForegroundMonitor& Monitor() { return m_monitor; }

    // A change with no key or pointer input in this many milliseconds
    // before it is unprompted.
    static constexpr unsigned kDefaultPromptedWithinMs = 500;
    // A window created or mapped this long before its take is new, and a
    // process started this long before an unprompted take may be its culprit.
    static constexpr unsigned kNewWindowWithinMs = 2000;
    void SetPromptedWithinMs(unsigned ms) { m_promptedWithinMs = ms; }

    // Monitoring was switched on or off, or the log cleared: how long the
    // window in front holds the focus can no longer be measured.
    void BreakHolds();
    const FocusHolds& Holds() const { return m_holds; }
    // The same, grouped by the launcher that names who started each window
    // (kNoLauncher where none is known); each row's `launcher` is then the
    // program it last launched.
    const FocusHolds& HoldsByLauncher() const { return m_launcherHolds; }
    static constexpr const char* kNoLauncher = "(none)";
    // Who was behind the program's latest take (UTF-8 name), or null.
    std::shared_ptr<const ProcessFacts> LastFactsOf(const std::string& program) const;
    const HoldHistory& History() const { return m_history; }
    void OnTheftEnded(TheftEnded told) { m_theftEnded = std::move(told); }

    // The log was emptied: numbering starts again, and no line of before is
    // there to be found.
    void ClearLog();
    // The number of the last line naming this program (UTF-8), or one it
    // launched, while the log still holds it.
    std::optional<int> LastLineOf(const std::string& module, bool byLauncher = false) const;

private:
    // Reads who is behind the change and judges whether the user asked
    // for it.
    void NameCulprit(ActivityEntry& entry);
    void BreakHoldsOnly();
    // The record file and the system log: what the filter lets through.
    void Store(const ActivityEntry& entry, std::chrono::steady_clock::time_point& recorded);
    void Record(const ActivityEntry& entry, const RecordDetails& details);

    WindowPlatform& m_platform;
    WallClock m_now;
    ForegroundMonitor m_monitor;
    ProcessChains m_chains;
    // The window and process of the last change, the ones a take robs.
    WindowHandle m_previousWindow = 0;
    unsigned long m_previousPid = 0;
    wxString m_endedLauncher;  // the launcher of the window in front
    // A process's start is known to the tick; one started with the take
    // may read as a little after it.
    static constexpr std::int64_t kStartSlackMs = 100;
    static constexpr size_t kMostRecent = 8;
    // What was read of each window's process, and the name its takes count
    // under, by window.
    struct KnownWindow
    {
        unsigned long pid;
        unsigned long process;  // the console's client, or pid
        wxString module;
        std::shared_ptr<const ProcessFacts> facts;
        wxString program;
    };
    std::map<WindowHandle, KnownWindow> m_windowFacts;
    static constexpr size_t kMostWindows = 512;
    FocusHolds m_holds;
    HoldHistory m_history;
    std::map<std::string, int> m_lastLines;
    FocusHolds m_launcherHolds;
    std::int64_t m_seenLossMs = 0;
    std::map<std::string, int> m_lastLauncherLines;
    std::map<std::string, std::shared_ptr<const ProcessFacts>> m_lastFacts;
    TheftEnded m_theftEnded;
    Attempted m_attempted;
    // When each window's last attempt was kept.
    std::map<WindowHandle, std::int64_t> m_lastAttempts;
    unsigned long m_ownPid = wxGetProcessId();
    bool m_currentIsOwn = false;  // the window in front is one of ours
    std::function<bool()> m_monitoring = [] { return true; };
    ActivityRecord m_record;
    RecordFilter m_filter;
    std::unique_ptr<SystemLogWriter> m_systemLog;
    ShowLine m_show;
    RecordingStopped m_stopped;
    bool m_reportLineCost = false;
    unsigned m_promptedWithinMs = kDefaultPromptedWithinMs;
};
