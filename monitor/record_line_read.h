#pragma once

// Reading the record back, a line at a time: what --report needs of a line,
// without building the whole line's tree.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/window_tracking.h"

// One line of a record file as read back.
struct RecordedChange
{
    std::int64_t whenMs = 0;  // milliseconds since 1970-01-01 UTC
    long long number = 0;
    WindowHandle window = 0;
    std::string module;       // UTF-8
    std::optional<bool> unprompted;
    // Lines of earlier versions have no "held_ms" at all.
    bool tellsHeld = false;
    std::optional<std::int64_t> heldMs;
    // Who is behind the change, UTF-8; empty where the line has none (older
    // versions, null, or a value that is no text).
    std::string program;   // the name its take counts under
    std::string launcher;
    std::string unit;
    std::string cmdline;
    std::string title;
    bool own = false;  // a window of Corvalin's own
    std::string attempt;  // an attempt's kind
};

enum class RecordLineKind
{
    Change,
    Attempt,  // a try at the focus the desktop refused: no change, no number
    Damaged,  // no JSON at all (a line cut short, say), or numbers no line of ours holds
    Foreign,  // JSON, but no record line of ours
};

// Reads one line of the record, without its line break.
RecordLineKind ParseRecordLine(std::string_view line, RecordedChange& change);
