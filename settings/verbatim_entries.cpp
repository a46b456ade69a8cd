#include "settings/verbatim_entries.h"

std::optional<wxString> VerbatimEntry(const wxString& text, const wxString& group,
                                      const wxString& key)
{
    std::optional<wxString> found;
    wxString current = L"/";
    size_t start = 0;
    while (start < text.length())
    {
        size_t end = text.find(L'\n', start);
        if (end == wxString::npos)
            end = text.length();
        wxString line = text.substr(start, end - start);
        start = end + 1;
        line.Trim(true).Trim(false);
        if (line.empty() || line[0] == L';' || line[0] == L'#')
            continue;
        if (line[0] == L'[')
        {
            current = L"/" + line.Mid(1).BeforeFirst(L']');
            continue;
        }
        const size_t equals = line.find(L'=');
        if (equals == wxString::npos || current != group)
            continue;
        wxString name = line.Left(equals);
        if (name.Trim(true) != key)
            continue;
        wxString value = line.Mid(equals + 1);
        value.Trim(false);
        // The toolkit's quotes around a value are no part of it.
        if (value.length() >= 2 && value[0] == L'"' && value.Last() == L'"')
            value = value.Mid(1, value.length() - 2);
        // The toolkit keeps the last of repeated entries.
        found = value;
    }
    return found;
}

wxString PatternAsWritten(const wxString& verbatim, const wxString& unescaped)
{
    if (verbatim == unescaped || !verbatim.Contains(L"\\"))
        return verbatim;
    for (size_t i = 0; i < verbatim.length(); ++i)
    {
        if (verbatim[i] != L'\\')
            continue;
        if (i + 1 >= verbatim.length() || verbatim[i + 1] != L'\\')
            return verbatim;
        ++i;
    }
    return verbatim + L"|" + unescaped;
}
