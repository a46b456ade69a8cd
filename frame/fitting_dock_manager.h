#pragma once

#include <wx/aui/framemanager.h>

// The docking manager with one rule more: a pane docked at the side never
// takes the centre pane's room.  The toolkit keeps a side dock's width in
// pixels, so a frame made smaller (or a layout saved in a larger one) would
// leave the centre nothing and lay the two over each other.
class FittingDockManager : public wxAuiManager
{
public:
    // The side dock holding `pane` as wide as `wanted` where the frame has
    // room for it beside a centre of at least minCentre pixels, never wider
    // than that room (or half the frame, when even that is too little), and
    // grown only up to `grownUpTo`.  Lays out again when it changed
    // anything; true then.
    bool FitSideDock(wxWindow* pane, int wanted, int grownUpTo, int minCentre);

private:
    int m_fittedClient = -1;
    int m_fittedSize = -1;
};
