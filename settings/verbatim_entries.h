#pragma once

// Entries read as the user wrote them.  The toolkit's settings reader takes
// a backslash as an escape and drops an unknown one with the character
// after it, so "KeePass\.exe" would reach the exclusion filter as
// "KeePassexe": regular expressions are read from the file's own text.

#include <optional>

#include <wx/string.h>

// The value of `key` in the group `group` ("/Options") of a settings file's
// text, exactly as written (spaces around it dropped); nothing when absent.
std::optional<wxString> VerbatimEntry(const wxString& text, const wxString& group,
                                      const wxString& key);

// A pattern as meant, from its text as written and as the toolkit read it.
// A text whose every backslash is doubled may have been written for the
// toolkit's escapes (files that worked before it was read as written): then
// it means either reading, so that nothing it once excluded gets through.
wxString PatternAsWritten(const wxString& verbatim, const wxString& unescaped);
