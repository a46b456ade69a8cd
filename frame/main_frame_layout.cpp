// Window placement and dock layout of the main frame.
#include "frame/main_frame.h"

#include <wx/textctrl.h>

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
    if (perspective.empty() || !IsUsableDockLayout(perspective))
        return;
    const wxString built = m_mgr.SavePerspective();
    m_mgr.LoadPerspective(perspective, true);
    // Sizes the check above lets through can still squeeze the log away in a
    // small frame; the layout of the constructor is better than none.
    const wxSize logSize = m_log->GetSize();
    if (!m_mgr.GetPane(m_log).IsShown() || logSize.x <= 0 || logSize.y <= 0)
        m_mgr.LoadPerspective(built, true);
}
