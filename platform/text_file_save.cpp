#include "platform/text_file_save.h"

#include <wx/intl.h>

#include "platform/file_writes.h"

bool SaveTextAtomically(const wxString& path, const wxString& text, wxString& problem)
{
    problem.clear();
    const wxScopedCharBuffer utf8 = text.utf8_str();
    if (!text.empty() && utf8.length() == 0)
    {
        problem = wxString::Format(_("\"%s\" was not saved: the text cannot be written as UTF-8."),
                                   path);
        return false;
    }
    wxString reason;
    if (ReplaceFileContents(path, utf8.data(), utf8.length(), reason))
        return true;
    problem = wxString::Format(_("\"%s\" was not saved: %s."), path, reason);
    return false;
}
