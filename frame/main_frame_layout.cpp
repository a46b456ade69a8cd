// Window placement and dock layout of the main frame.
#include "frame/main_frame.h"

#include "settings/dock_layout.h"
#include "settings/window_manager_helper.h"

void MainFrame::OnSize(wxSizeEvent& event)
{
    if (m_placement)
        m_placement->OnSize(event);
    event.Skip();
}

void MainFrame::OnMove(wxMoveEvent& event)
{
    if (m_placement)
        m_placement->OnMove(event);
    event.Skip();
}

void MainFrame::SaveDockLayout()
{
    WriteDockLayout(DockLayoutPath(), m_mgr.SavePerspective());
}

void MainFrame::LoadDockLayout()
{
    const wxString perspective = ReadDockLayout(DockLayoutPath());
    if (!perspective.empty() && IsUsableDockLayout(perspective))
        m_mgr.LoadPerspective(perspective, true);
}
