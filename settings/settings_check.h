#pragma once

#include <cstddef>

#include <wx/string.h>

// One convention for the settings-file calls: each returns its result, and
// when given a `problem` it receives why something went wrong, or is emptied
// when nothing did.  ReportProblem does the second half and says whether
// there was none.
inline bool ReportProblem(wxString* problem, const wxString& text)
{
    if (problem)
        *problem = text;
    return text.empty();
}

// Larger files are refused unread: a real one holds a few hundred bytes.
constexpr size_t kMaxSettingsFileSize = 1024 * 1024;

// Whether the file at path can be handed to the file configuration: not too
// large, convertible, no NUL or unencodable characters, no absurd group
// nesting.  True when it does not exist.
bool CheckSettingsFile(const wxString& path, wxString* problem = nullptr);
// The same check on text already read.
bool CheckSettingsText(const wxString& text, wxString* problem = nullptr);
