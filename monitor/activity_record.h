#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <wx/string.h>

#include "monitor/foreground_monitor.h"
#include "monitor/record_line_read.h"
#include "platform/file_writes.h"

// What the record file holds beyond the Activity log line; asked of the
// platform only when a line is written.
struct RecordDetails
{
    wxString path;         // the executable's full path
    unsigned long pid = 0; // the process id, 0 when unknown
    wxString windowClass;
    // Whether command lines may be stored (they can carry secrets).
    bool commandLines = true;
};

// The name the record, the report and the system log give an attempt's kind.
const char* AttemptKindName(AttemptKind kind);

// The text as UTF-8, each value that is no Unicode (a lone surrogate, from
// a Windows title) as U+FFFD.
std::string ToValidUtf8(const wxString& text);

// One line of the record file: a JSON object with the keys "time",
// "number", "module", "path", "pid", "class", "title", "handle", "seen" in
// this order, then "held_ms", "idle_ms", "unprompted" and "request" (null
// where unknown), then who is behind the change: "started", "cmdline",
// "user", "user_id", "parents" (nearest first, each "pid", "module", "path",
// "started"), "parents_end", "unit", "elevated", "new_window", "client",
// "recent", "cause", "launcher", "program", "own" (a window of Corvalin's own), "attempt" and
// "focused" (for a refused try at the focus, seen "attempt" with a null
// number: its kind, and the window that had the focus then); ending in "\n".  The time is local, with milliseconds and the
// offset from UTC in force at that moment ("2026-12-08T02:15:03.123+01:00").
// Text that is not valid Unicode (lone surrogates) becomes U+FFFD, so the
// line is always valid UTF-8.
wxString FormatRecordLine(const ActivityEntry& entry, const RecordDetails& details);

// The same fields as text, in the same order, for logs that take text
// fields: strings as they are, numbers and true or false as the line writes
// them, null as empty.
std::vector<std::pair<std::string, std::string>> RecordFields(const ActivityEntry& entry,
                                                               const RecordDetails& details);

// The record file named by the option: empty for none; "~" and "~/..." below
// the home folder; a relative path below the settings folder; an absolute
// path as it is.
wxString ResolveRecordPath(const wxString& value, const wxString& settingsDirectory);

// The optional record file: one JSON line per logged change, appended and
// never truncated, so that several runs, or other programs appending too,
// leave whole lines.  A file that cannot be used or written is reported once
// and recording stops; monitoring is not affected.
class ActivityRecord
{
public:
    // Opens for appending, creating the file readable by its owner only; a
    // path that is no plain file of the user's own is refused.  On failure:
    // false, and Problem() says why (also offered once by TakeNewProblem).
    bool Open(const wxString& path);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }

    // Writes the line at once, straight to the system (no buffer of our
    // own).  A file deleted or replaced meanwhile is opened again at its
    // path first.  On the first failure the file is closed and the problem
    // kept.  False when not open or when the line was not written.
    bool Append(const ActivityEntry& entry, const RecordDetails& details);

    // Why recording stopped (or could not start); empty while all is well.
    wxString Problem() const { return m_problem; }
    // The problem once, the first time it is asked for; empty afterwards
    // until a new one arises.
    wxString TakeNewProblem();

    const wxString& Path() const { return m_path; }

private:
    void Fail(const wxString& problem);

    AppendOnlyFile m_file;
    wxString m_path;
    wxString m_problem;
    bool m_problemTaken = false;
};
