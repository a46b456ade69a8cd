#pragma once

#include <set>
#include <string>

#include <wx/frame.h>

class HoldHistory;
class wxListCtrl;

// One program's takes, newest first, from the holds this run still keeps:
// when, for how long, unprompted or not, the title, and the window each
// took the focus from.  A window of its own, not modal: it can stay open
// beside the log while the user reads both.
class TakesWindow : public wxFrame
{
public:
    // programs: the names whose takes are listed (one program, or those a
    // launcher started); title: what the window is about.
    TakesWindow(wxWindow* parent, const HoldHistory& history, const std::set<std::string>& programs,
                const wxString& title);

    wxListCtrl* GetList() const { return m_list; }

private:
    wxListCtrl* m_list;
};
