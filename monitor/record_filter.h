#pragma once

#include <memory>

#include <wx/string.h>

class wxRegEx;

// What of a logged change may be stored where others can read it: the
// record file and the system log get a change only when neither its module
// nor its title is excluded, and its title only while titles are stored.
// The Activity log on screen shows every change all the same.
class RecordFilter
{
public:
    RecordFilter();
    ~RecordFilter();

    // Each expression is one extended regular expression that must match the
    // whole module name (or title) to exclude it; alternatives with "|";
    // empty excludes nothing.  An expression that does not compile is
    // ignored (the other still applies): the returned text names each such
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

private:
    std::unique_ptr<wxRegEx> m_modules;
    std::unique_ptr<wxRegEx> m_titles;
    bool m_storeTitles = true;
    bool m_storeCommandLines = true;
};
