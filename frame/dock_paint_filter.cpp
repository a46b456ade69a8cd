#include "frame/dock_paint_filter.h"

#include <wx/aui/framemanager.h>
#include <wx/dcclient.h>
#include <wx/region.h>

DockPaintFilter::DockPaintFilter(wxAuiManager& manager) : m_manager(manager)
{
    Bind(wxEVT_PAINT, &DockPaintFilter::OnPaint, this);
    m_manager.GetManagedWindow()->PushEventHandler(this);
}

DockPaintFilter::~DockPaintFilter()
{
    if (wxWindow* frame = m_manager.GetManagedWindow())
        frame->RemoveEventHandler(this);
}

void DockPaintFilter::OnPaint(wxPaintEvent& event)
{
    wxWindow* const frame = m_manager.GetManagedWindow();
    wxRegion art(frame->GetUpdateRegion());
    const wxAuiPaneInfoArray& panes = m_manager.GetAllPanes();
    for (std::size_t i = 0; i < panes.GetCount(); ++i)
    {
        const wxAuiPaneInfo& pane = panes.Item(i);
        if (pane.window && pane.window->GetParent() == frame && pane.window->IsShown())
            art.Subtract(pane.window->GetRect());
    }
    if (!art.IsEmpty())
    {
        event.Skip();
        return;
    }
    // Some systems go on asking for the paint until a paint DC has been made.
    wxPaintDC validated(frame);
}
