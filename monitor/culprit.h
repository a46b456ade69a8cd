#pragma once

// Who is behind a take: which launcher names it, which program it counts
// for, and whether the user's input caused it.  Pure rules over what the
// platform read at the take.

#include <cstdint>
#include <optional>
#include <vector>

#include <wx/string.h>

#include "monitor/process_chain.h"
#include "platform/window_tracking.h"

// A process that is the session's root: the chain above it says nothing of
// who launched a window (systemd, a display manager's session, explorer.exe).
bool IsSessionRoot(const wxString& module);
// A shell or an interpreter: it is named by the script it runs, if any.
bool IsShellOrInterpreter(const wxString& module);
// A program that shows windows for many others' sake (a terminal, a
// console, a browser, a remote-app client): its windows are told apart by
// their app id or class.
bool IsHost(const wxString& module);

// The script a shell or interpreter runs, by its file name ("nag.sh" for
// "bash /usr/local/bin/nag.sh"); empty for a command given inline (-c) or
// none.
wxString ScriptOf(const wxString& commandLine);

// The nearest launcher that says who started the window: not a shell, a
// terminal or the session's root; a shell running a script is named by the
// script.  Empty where the chain holds no such process.
wxString LauncherName(const std::vector<ProcessLink>& parents);

// The name a take counts under: the module, and for a host's window its app
// id or class ("foot (updater)"), or a console's client ("conhost.exe
// (cmd.exe)"), so that a thief is not lumped with the user's own windows of
// the same host.
wxString ProgramName(const wxString& module, const wxString& windowClass,
                     const wxString& clientModule = wxString());

// What caused a take, as the record names it.
enum class TakeCause
{
    Unknown,   // the platform cannot tell
    Click,     // a pointer press
    Keys,      // keys, to the window manager's switching (no program asked)
    Request,   // a pager's or taskbar's request, for the user
    Launcher,  // input to the window's own process or one of its launchers
    None,      // nothing the user did
};
const char* TakeCauseName(TakeCause cause);  // null for Unknown

// What is known at a take, for judging it.
struct TakeFacts
{
    ChangeInput input;
    std::optional<bool> newWindow;
    unsigned long pid = 0;           // the window's process (or console client)
    std::vector<unsigned long> launchers;  // its chain, nearest first
    unsigned long previousPid = 0;   // the process of the window robbed, 0 unknown
    bool previousGone = false;       // that window closed at the change
    // A process started lately from the previous window's process (a
    // command typed there that asked another program for its window).
    bool launchedFromPrevious = false;
};

struct TakeVerdict
{
    std::optional<bool> unprompted;  // unset: cannot tell
    TakeCause cause = TakeCause::Unknown;
};

// A take is asked for when the user's input caused it: a pointer press, a
// pager's request made while the user worked, the window manager's switching
// keys, or input into the window's own process or one of its launchers.  Keys typed into another
// program do not ask for a window that pops up, or for one that a program
// raises of its own accord: those are unprompted, typing or not.
TakeVerdict JudgeTake(const TakeFacts& facts, std::uint64_t withinMs);
