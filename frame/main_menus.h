#pragma once

// The main frame's menu bar and toolbar: the labels, ids, accelerators and
// images users know, in their order.  Built here; the frame only wires them.

class wxAuiManager;
class wxFrame;
class wxMenuBar;
class wxToolBar;

wxMenuBar* CreateMainMenuBar();
// The toolbar, docked at the top of the frame's manager in its named pane.
wxToolBar* AddMainToolbar(wxFrame* frame, wxAuiManager& manager);
