#include "frame/fitting_dock_manager.h"

#include <algorithm>

#include <wx/aui/dockart.h>

bool FittingDockManager::FitSideDock(wxWindow* pane, int wanted, int grownUpTo, int minCentre)
{
    const wxAuiPaneInfo& info = GetPane(pane);
    if (!info.IsOk() || !info.IsShown() || !info.IsDocked() ||
        (info.dock_direction != wxAUI_DOCK_LEFT && info.dock_direction != wxAUI_DOCK_RIGHT))
        return false;
    for (std::size_t i = 0; i < m_docks.GetCount(); ++i)
    {
        wxAuiDockInfo& dock = m_docks.Item(i);
        if (dock.dock_direction != info.dock_direction || dock.dock_layer != info.dock_layer ||
            dock.dock_row != info.dock_row)
            continue;
        const int client = GetManagedWindow()->GetClientSize().x;
        // The manager may round what it is given (a pane's minimum, its
        // borders): what it made of the last fit at this width stands.
        if (client == m_fittedClient && dock.size == m_fittedSize)
            return false;
        const int sash = GetArtProvider()->GetMetric(wxAUI_DOCKART_SASH_SIZE);
        // The centre's own borders count against its room.
        const int borders = 4 * GetArtProvider()->GetMetric(wxAUI_DOCKART_PANE_BORDER_SIZE);
        const int room = std::max(client - minCentre - sash - borders, (client - sash) / 2);
        int size = std::min(dock.size, room);
        if (size < std::min(wanted, grownUpTo))
            size = std::min({wanted, grownUpTo, room});
        if (size == dock.size || size <= 0)
            return false;
        dock.size = size;
        Update();
        m_fittedClient = client;
        m_fittedSize = dock.size;
        return true;
    }
    return false;
}
