#pragma once

#include <wx/event.h>

class wxAuiManager;

// Lets the docking manager paint its frame only where its own art shows.
// The manager draws every caption, border, gripper and sash again whenever
// any part of the frame is painted, and on GTK that happens each time a pane
// redraws itself (a logged line, the thieves pane's picture), though the
// pane then covers all of it.  Pushed onto the frame after the manager, so
// that it sees the paint event first; removed before the manager lets go.
class DockPaintFilter : public wxEvtHandler
{
public:
    explicit DockPaintFilter(wxAuiManager& manager);
    ~DockPaintFilter() override;

private:
    void OnPaint(wxPaintEvent& event);

    wxAuiManager& m_manager;
};
