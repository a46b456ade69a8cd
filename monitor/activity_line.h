#pragma once

#include <cstddef>
#include <optional>
#include <utility>

#include <wx/datetime.h>
#include <wx/string.h>

#include "platform/window_tracking.h"

// Text used for module and title when a window cannot be identified.
extern const wchar_t* const kNotAValidWindow;

// A title as the log and the record keep it: control characters (line
// breaks, tabs, escapes) become spaces, so that a title can neither split
// its line nor reach the log view raw; then cut to 255 characters.
wxString CleanTitle(const wxString& title);

// "%M:%S:%l" of the given moment in local time, e.g. "17:05:083".
wxString FormatActivityTime(const wxDateTime& when);

// Text as the Activity log and the thieves pane show it: control
// characters, line and paragraph separators and the bidirectional controls
// (embeddings, overrides, isolates, marks) become spaces, so that no module,
// app id or title can split a line or reorder what follows it on screen.
// The record keeps such text as it came.
wxString ShownText(const wxString& text);

// One line of the Activity log, ending in " \n"; module and title as
// ShownText makes them.
wxString FormatActivityLine(int number, const wxString& timeStamp,
                            const wxString& module, const wxString& title,
                            WindowHandle window);

// Where the last line numbered `number` is in a log's text: its first
// character and one past its last (before the line break).  The log is the
// user's to edit too; a line counts only where its number starts it.
std::optional<std::pair<std::size_t, std::size_t>> FindNumberedLine(const wxString& text,
                                                                    int number);
