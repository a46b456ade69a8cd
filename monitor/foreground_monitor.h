#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <wx/datetime.h>
#include <wx/string.h>

#include "monitor/culprit.h"
#include "monitor/process_chain.h"
#include "platform/window_tracking.h"

using WallClock = wxDateTime (*)();

// How a change came to be seen.
enum class Seen
{
    Tick,
    Event,
    HotKey,
    Attempt,  // no change: a try at the focus that the desktop refused
};

// Everything known about one logged change.
struct ActivityEntry
{
    int number = 0;
    wxDateTime when;
    WindowHandle window = 0;
    wxString module;
    wxString title;
    unsigned long pid = 0;  // 0 when unknown
    Seen seen = Seen::Tick;
    // How long the window of the previous line held the focus up to this
    // change; unset where that is not known.
    std::optional<long long> previousHeldMs;
    // What the platform knew of the user's input before the change, and
    // whether the change came without any (unset where it cannot tell).
    ChangeInput input;
    std::optional<bool> unprompted;
    // Who is behind the change, read as it happened: the window's process
    // (or, for a console, the process it shows) and its launchers; null
    // where no process is known.
    std::shared_ptr<const ProcessFacts> facts;
    // For a console window, how its client process was found; empty where
    // the window is its own process's.
    wxString clientHow;
    // Whether the window was created or mapped just before it took the
    // focus; unset where the platform cannot tell.
    std::optional<bool> newWindow;
    TakeCause cause = TakeCause::Unknown;
    // The name the take counts under, and the nearest launcher that names
    // who started the window (empty for none).
    wxString program;
    wxString launcher;
    // For an unprompted take by a long-lived process: this user's processes
    // started just before it; recentLooked says whether they were looked for.
    std::vector<std::shared_ptr<const ProcessFacts>> recent;
    bool recentLooked = false;
    // A window of Corvalin's own: recorded, marked, never counted as a take.
    bool own = false;
    // For an attempt (seen Attempt, no number): its kind, and the window
    // that had the focus then.
    std::optional<AttemptKind> attempt;
    WindowHandle focused = 0;
    // The line for the Activity log, ending in " \n".
    wxString line;
};

// Follows the foreground window and numbers its changes.  It owns the last
// window logged and the line count; ActivityLogger feeds it ticks, events and
// the hot key and shows what it answers.
class ForegroundMonitor
{
public:
    explicit ForegroundMonitor(WindowPlatform& platform, WallClock now = &wxDateTime::UNow);

    // One sample: true, with the entry and its line filled, when the
    // foreground window changed since the last line; false otherwise.  An
    // idle sample costs one foreground query and one validity check.
    bool FormatForegroundChange(Seen seen, ActivityEntry& entry);
    // After the log was emptied: the next change is line 1 and names the
    // foreground window even if it was the last one logged.
    void Clear();

    // Module and title of a window; "Not a valid window" for what cannot be
    // found.  The owning process's id, when wanted, or 0.
    void GetWindowIdentity(WindowHandle window, wxString& module, wxString& title,
                           unsigned long* pid = nullptr);

    int LineCount() const { return m_lineCount; }
    WindowHandle LastWindow() const { return m_lastWindow; }

private:
    WindowPlatform& m_platform;
    WallClock m_now;
    WindowHandle m_lastWindow = 0;
    int m_lineCount = 0;
    // The last window logged as "Not a valid window", while it stays gone.
    WindowHandle m_vanished = 0;
};
