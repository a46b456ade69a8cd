#include "frame/takes_window.h"

#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "frame/hold_timeline.h"
#include "monitor/hold_history.h"

TakesWindow::TakesWindow(wxWindow* parent, const HoldHistory& history,
                         const std::set<std::string>& programs, const wxString& title)
    : wxFrame(parent, wxID_ANY, wxString::Format(_("Takes by %s"), title), wxDefaultPosition,
              wxSize(760, 360), wxDEFAULT_FRAME_STYLE | wxFRAME_FLOAT_ON_PARENT)
{
    m_list = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT);
    m_list->AppendColumn(_("Time"));
    m_list->AppendColumn(_("Held"), wxLIST_FORMAT_RIGHT);
    m_list->AppendColumn(_("Unprompted"));
    m_list->AppendColumn(_("Title"));
    m_list->AppendColumn(_("Interrupted"));
    long row = 0;
    for (std::size_t i = history.Size(); i-- > 0;)
    {
        const Hold hold = history[i];
        if (!hold.take || !programs.count(hold.module))
            continue;
        m_list->InsertItem(row, HoldTime(hold.startMs));
        m_list->SetItem(row, 1, hold.IsOpen() ? _("still holds")
                                : hold.cut    ? L"\u2265 " + HoldDuration(*hold.endMs - hold.startMs)
                                              : HoldDuration(*hold.endMs - hold.startMs));
        m_list->SetItem(row, 2, hold.unprompted == true ? _("yes") : hold.unprompted == false ? _("no") : L"?");
        m_list->SetItem(row, 3, wxString::FromUTF8(hold.title));
        // The hold before it, where this take was seen to end it.
        if (hold.followed && i > 0)
        {
            const Hold from = history[i - 1];
            m_list->SetItem(row, 4, wxString::FromUTF8(from.module) + L" \u2014 " + wxString::FromUTF8(from.title));
        }
        else
            m_list->SetItem(row, 4, L"\u2014");
        ++row;
    }
    for (int column = 0; column < m_list->GetColumnCount(); ++column)
        m_list->SetColumnWidth(column, wxLIST_AUTOSIZE_USEHEADER);
    wxBoxSizer* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_list, 1, wxEXPAND);
    sizer->Add(new wxStaticText(this, wxID_ANY,
                                wxString::Format(_("%ld takes, among the newest %zu holds this run keeps."), row,
                                                 HoldHistory::kDefaultCapacity)),
               0, wxALL, 6);
    SetSizer(sizer);
}
