#include "monitor/record_filter.h"

#include <wx/intl.h>
#include <wx/log.h>
#include <wx/regex.h>

namespace
{
// Null for an empty expression and for one that does not compile; then
// `bad` is set for the latter.
std::unique_ptr<wxRegEx> WholeMatch(const wxString& expression, bool& bad)
{
    bad = false;
    if (expression.empty())
        return nullptr;
    // The toolkit would show its own complaint; the caller words ours.
    wxLogNull quiet;
    // Compiled alone first: "a)|(b" only compiles once it is wrapped, and
    // then means something else.
    if (!wxRegEx(expression, wxRE_EXTENDED | wxRE_NOSUB).IsValid())
    {
        bad = true;
        return nullptr;
    }
    auto whole = std::make_unique<wxRegEx>(L"^(?:" + expression + L")$", wxRE_EXTENDED | wxRE_NOSUB);
    if (!whole->IsValid())
    {
        bad = true;
        return nullptr;
    }
    return whole;
}
}  // namespace

RecordFilter::RecordFilter() = default;
RecordFilter::~RecordFilter() = default;

wxString RecordFilter::Set(const wxString& excludedModules, const wxString& excludedTitles,
                           bool storeTitles, bool storeCommandLines)
{
    m_storeTitles = storeTitles;
    m_storeCommandLines = storeCommandLines;
    wxString problems;
    bool bad = false;
    m_modules = WholeMatch(excludedModules, bad);
    if (bad)
        problems += wxString::Format(_("Modules kept out of the record: \"%s\" is not a valid "
                                       "regular expression; it is ignored.\n"),
                                     excludedModules);
    m_titles = WholeMatch(excludedTitles, bad);
    if (bad)
        problems += wxString::Format(_("Titles kept out of the record: \"%s\" is not a valid "
                                       "regular expression; it is ignored.\n"),
                                     excludedTitles);
    problems.Trim();
    return problems;
}

bool RecordFilter::ExcludesModule(const wxString& module) const
{
    return m_modules && m_modules->Matches(module);
}

bool RecordFilter::Admits(const wxString& module, const wxString& title) const
{
    if (m_modules && m_modules->Matches(module))
        return false;
    return !(m_titles && m_titles->Matches(title));
}
