#pragma once

// The process behind a window and the processes that launched it: what every
// system provides, read at the moment a window takes the focus, while the
// culprit may still be alive.  Implemented in platform/linux (from /proc) and
// platform/win32 (Toolhelp and the process's own queries).

#include <cstdint>
#include <optional>
#include <vector>

#include <wx/string.h>

// What one process tells about itself.  Whatever cannot be read stays empty
// or unset: nothing here is guessed.
struct ProcessInfo
{
    unsigned long pid = 0;
    // When it started, in milliseconds since 1970-01-01 UTC.  A process is
    // the same one only while its id and its start are the same.
    std::optional<std::int64_t> startedMs;
    // The id of the process that created it, as the system keeps it (0 when
    // none or unknown).  It may name a later process that got the id again:
    // a parent that started after its child is not its parent.
    unsigned long parentPid = 0;
    wxString module;  // file name without folder
    wxString path;    // full path of the executable, where known for certain
    // The command line, arguments separated by spaces; unset where the
    // system does not let this user read it.
    std::optional<wxString> commandLine;
    wxString user;    // the account's name
    wxString userId;  // uid on Linux, SID on Windows
    // The desktop's record of the app it belongs to: a systemd unit that
    // names an app (app-…​.scope/.service), or a Flatpak or Snap app id.
    wxString unit;
    // Windows: whether it runs elevated; unset where its token is closed.
    std::optional<bool> elevated;
};

// Everything readable of the process now; false when it is gone (or never
// was), and then nothing else is filled but the pid.
bool ReadProcessInfo(unsigned long pid, ProcessInfo& info);

// Only its start and parent, the cheap way to see that a process known
// from before is still the same one; false when it is gone.
bool ReadProcessStart(unsigned long pid, std::int64_t& startedMs, unsigned long& parentPid);

// The ids of this user's processes that started at sinceMs or later (ms
// since 1970-01-01 UTC) and still live, oldest first.  Meant to be asked
// seldom: it may look at every process of the system.
std::vector<unsigned long> ProcessesStartedSince(std::int64_t sinceMs);

// This process's user, as ProcessInfo names it (the uid or SID).
wxString OwnUserId();
