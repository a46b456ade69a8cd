#include "settings/window_placement.h"

#include <cstdint>

#include <wx/config.h>
#include <wx/toplevel.h>

#include "settings/options.h"
#include "settings/settings_save.h"
#include "settings/stored_names.h"

bool IsAcceptedSize(const wxSize& size)
{
    return size.x >= 200 && size.x <= 2500 && size.y >= 200 && size.y <= 2000;
}

Placement BoundPlacement(Placement stored, const wxSize& defaultSize)
{
    // Bounded as read, before narrowing to int, so that a huge value cannot
    // wrap into the accepted range.
    if (stored.x < -1)
        stored.x = -1;
    if (stored.y < -1)
        stored.y = -1;
    if (stored.x > INT32_MAX)
        stored.x = -1;
    if (stored.y > INT32_MAX)
        stored.y = -1;
    if (stored.width < 200 || stored.width > 2500)
        stored.width = defaultSize.GetWidth();
    if (stored.height < 200 || stored.height > 2000)
        stored.height = defaultSize.GetHeight();
    return stored;
}

WindowManagerHelper::WindowManagerHelper(wxTopLevelWindow* window, const wxString& name)
    : m_window(window), m_name(name)
{
}

void WindowManagerHelper::Load(wxPoint& position, wxSize& size)
{
    wxConfigBase* config = wxConfigBase::Get();
    const wxString oldPath = config->GetPath();
    config->SetPath(kPlacementGroup + m_name);
    Placement stored;
    stored.x = config->ReadLong(kPlacementX, -1);
    stored.y = config->ReadLong(kPlacementY, -1);
    stored.width = config->ReadLong(kPlacementWidth, size.GetWidth());
    stored.height = config->ReadLong(kPlacementHeight, size.GetHeight());
    const Placement bounded = BoundPlacement(stored, size);
    m_x = static_cast<int>(bounded.x);
    m_y = static_cast<int>(bounded.y);
    m_width = static_cast<int>(bounded.width);
    m_height = static_cast<int>(bounded.height);
    m_maximized = ReadBoolOption(*config, kPlacementMaximized, false);
    config->SetPath(oldPath);
    position = wxPoint(m_x, m_y);
    size = wxSize(m_width, m_height);
    m_loadedPosition = position;
}

// Touches only the stored fields and the settings store, never the window:
// it also runs after the connection to the display is lost.
void WindowManagerHelper::Save()
{
    wxConfigBase* config = wxConfigBase::Get();
    const wxString oldPath = config->GetPath();
    config->SetPath(kPlacementGroup + m_name);
    config->Write(kPlacementX, static_cast<long>(m_x));
    config->Write(kPlacementY, static_cast<long>(m_y));
    config->Write(kPlacementWidth, static_cast<long>(m_width));
    config->Write(kPlacementHeight, static_cast<long>(m_height));
    WriteBoolOption(*config, kPlacementMaximized, m_maximized);
    config->SetPath(oldPath);
    FlushSettings(*config);
}

// Some window managers (openbox among them) place a new GTK window where they
// like, ignoring the position it was created with, but honour a move asked
// for once it is on screen.  Elsewhere this lands where the window already is.
void WindowManagerHelper::ReapplyLoadedPositionOnce()
{
    if (m_positionReapplied || !m_window->IsShown())
        return;
    m_positionReapplied = true;
    if (m_loadedPosition == wxDefaultPosition)
        return;
    wxTopLevelWindow* window = m_window;
    const wxPoint position = m_loadedPosition;
    // Later, once the window manager has placed it.  The toolkit drops a
    // move to where it believes the window already is, hence the detour.
    window->CallAfter([window, position] {
        if (window->IsMaximized() || window->IsIconized())
            return;
        window->Move(position.x + 1, position.y);
        window->Move(position);
    });
}

void WindowManagerHelper::OnSize(wxSizeEvent& event)
{
    ReapplyLoadedPositionOnce();
    const bool wasMaximized = m_maximized;
    m_maximized = m_window->IsMaximized();
    const wxRect rect = m_window->GetRect();
    const bool normal = !m_maximized && !m_window->IsIconized();
    // A frame created maximised reports a passing non-maximised size of a
    // few pixels on GTK before the window manager maximises it; a size that
    // Load would refuse is no normal geometry to keep.
    if (normal && IsAcceptedSize(rect.GetSize()))
    {
        m_x = rect.x;
        m_y = rect.y;
        m_width = rect.width;
        m_height = rect.height;
    }
    else if (normal && wasMaximized)
    {
        // The window manager never saw the normal geometry of a window
        // maximised from the start, and un-maximises it to next to nothing.
        wxTopLevelWindow* window = m_window;
        const wxRect restored(m_x, m_y, m_width, m_height);
        window->CallAfter([window, restored] {
            if (!window->IsMaximized() && !window->IsIconized() &&
                !IsAcceptedSize(window->GetSize()))
                window->SetSize(restored);
        });
    }
    event.Skip();
}

void WindowManagerHelper::OnMove(wxMoveEvent& event)
{
    ReapplyLoadedPositionOnce();
    if (!m_window->IsMaximized() && !m_window->IsIconized())
    {
        const wxPoint position = m_window->GetPosition();
        m_x = position.x;
        m_y = position.y;
    }
    event.Skip();
}
