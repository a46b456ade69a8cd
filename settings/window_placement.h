#pragma once

#include <wx/event.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

class wxTopLevelWindow;

// Placement values as stored, bounded the way they are accepted back.
struct Placement
{
    long x = -1;
    long y = -1;
    long width = 0;
    long height = 0;
};
// Sizes Load accepts back: width 200..2500, height 200..2000.
bool IsAcceptedSize(const wxSize& size);
// Positions below -1 become -1; a width outside 200..2500 or a height outside
// 200..2000 becomes the default one, each by itself.
Placement BoundPlacement(Placement stored, const wxSize& defaultSize);

// Keeps a top-level window's placement (position, size, maximised) across runs.
// Follows the window's size and move events, keeps its last normal
// geometry, and stores it under "/Layout/<name>".
class WindowManagerHelper
{
public:
    WindowManagerHelper(wxTopLevelWindow* window, const wxString& name);

    void Load(wxPoint& position, wxSize& size);
    void Save();
    void OnSize(wxSizeEvent& event);
    void OnMove(wxMoveEvent& event);

    bool IsMaximized() const { return m_maximized; }

private:
    void ReapplyLoadedPositionOnce();

    wxTopLevelWindow* m_window;
    wxString m_name;
    int m_x = -1;
    int m_y = -1;
    int m_width = 0;
    int m_height = 0;
    bool m_maximized = false;
    // The stored position as loaded, and whether it has been asked for again
    // once the window was on screen.
    wxPoint m_loadedPosition = wxDefaultPosition;
    bool m_positionReapplied = false;
};
