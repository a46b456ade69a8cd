#include "monitor/record_filter.h"

#include <cstdio>

#include <wx/intl.h>

RecordFilter::RecordFilter() = default;
RecordFilter::~RecordFilter() = default;

wxString RecordFilter::Set(const wxString& excludedModules, const wxString& excludedTitles,
                           bool storeTitles, bool storeCommandLines)
{
    m_storeTitles = storeTitles;
    m_storeCommandLines = storeCommandLines;
    wxString problems;
    wxString reason;
    m_modules = TextPattern::Compile(excludedModules, reason);
    m_refused = !reason.empty();
    if (!reason.empty())
        problems += wxString::Format(_("Modules kept out of the record: \"%s\" is refused (%s).\n"),
                                     excludedModules, reason);
    m_titles = TextPattern::Compile(excludedTitles, reason);
    m_refused = m_refused || !reason.empty();
    if (!reason.empty())
        problems += wxString::Format(_("Titles kept out of the record: \"%s\" is refused (%s).\n"),
                                     excludedTitles, reason);
    if (m_refused)
        problems += _("Until it is mended, no change is stored in the record or the system log.");
    problems.Trim();
    return problems;
}

bool RecordFilter::Excludes(const TextPattern* pattern, const wxString& text) const
{
    if (!pattern)
        return false;
    switch (pattern->MatchWhole(text))
    {
    case TextPattern::Match::No:
        return false;
    case TextPattern::Match::Whole:
        return true;
    case TextPattern::Match::Failed:
        break;
    }
    // Said once: a title that defeats the pattern may come back at every
    // switch.
    if (m_undecided++ == 0)
        std::fprintf(stderr, "Corvalin: an exclusion pattern could not decide on a text (it costs "
                             "too much); such changes are kept out of the record.\n");
    return true;
}

bool RecordFilter::ExcludesModule(const wxString& module) const
{
    return m_refused || Excludes(m_modules.get(), module);
}

bool RecordFilter::Admits(const wxString& module, const wxString& title) const
{
    if (m_refused)
        return false;
    return !Excludes(m_modules.get(), module) && !Excludes(m_titles.get(), title);
}
