#pragma once

#include <memory>

#include <wx/string.h>

#include "monitor/text_pattern.h"

// What of a logged change may be stored where others can read it: the
// record file and the system log get a change only when neither its module
// nor its title is excluded, and its title only while titles are stored.
// The Activity log on screen shows every change all the same.
//
// It never fails open: an expression that is refused keeps every change
// out, and a match that cannot be decided counts as a match.
class RecordFilter
{
public:
    RecordFilter();
    ~RecordFilter();

    // Each expression is one regular expression (PCRE2) that must match the
    // whole module name (or title) to exclude it; alternatives with "|";
    // empty excludes nothing.  An expression that does not compile, or that
    // runs away on long texts, is refused and keeps every change out of
    // the record until it is mended: the returned text names each such
    // one, a line each, and is empty when both are fine.
    wxString Set(const wxString& excludedModules, const wxString& excludedTitles,
                 bool storeTitles, bool storeCommandLines = true);

    // Whether a change of this module and title may be stored at all.
    bool Admits(const wxString& module, const wxString& title) const;
    // Whether titles are stored; where not, an empty title is.
    bool StoresTitles() const { return m_storeTitles; }
    // Whether command lines are stored; where not, none is (they can carry
    // passwords and tokens).
    bool StoresCommandLines() const { return m_storeCommandLines; }
    // Whether the module (or a launcher's) is kept out.
    bool ExcludesModule(const wxString& module) const;
    // How many matches could not be decided and so excluded their change.
    long UndecidedMatches() const { return m_undecided; }

private:
    bool Excludes(const TextPattern* pattern, const wxString& text) const;

    std::unique_ptr<TextPattern> m_modules;
    std::unique_ptr<TextPattern> m_titles;
    bool m_refused = false;
    bool m_storeTitles = true;
    bool m_storeCommandLines = true;
    mutable long m_undecided = 0;
};
