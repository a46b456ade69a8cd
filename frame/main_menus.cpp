#include "frame/main_menus.h"

#include <wx/aui/framemanager.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "frame/ids.h"
#include "platform/images.h"
#include "platform/system_log.h"
#include "resources/images.h"
#include "settings/stored_names.h"

namespace
{
// The docking manager lays the panes out while the frame is still being
// mapped, with next to no room, and GTK complains about a toolbar squeezed
// below the size of its buttons; in a frame narrower than the tools they are
// clipped instead.
class ToolBarPane : public wxToolBar
{
public:
    using wxToolBar::wxToolBar;

protected:
    void DoSetSize(int x, int y, int width, int height, int flags) override
    {
        const wxSize best = GetBestSize();
        if (height >= 0 && height < best.y)
            height = best.y;
        if (width >= 0 && width < best.x)
            width = best.x;
        wxToolBar::DoSetSize(x, y, width, height, flags);
    }
};

wxMenuItem* AppendImageItem(wxMenu* menu, int id, const wxString& text, const wxBitmapBundle& image)
{
    wxMenuItem* item = new wxMenuItem(menu, id, text, wxString(), wxITEM_NORMAL);
    SetMenuItemBitmaps(item, image, wxBitmapBundle());
    return menu->Append(item);
}
}  // namespace

wxMenuBar* CreateMainMenuBar()
{
    wxMenuBar* menuBar = new wxMenuBar;
    wxMenu* menu = new wxMenu;
    menu->Append(ID_MONITOR_WINDOWS, _("&Monitor Windows \tCtrl+M"), wxString(), wxITEM_CHECK);
    AppendImageItem(menu, ID_CLEAR_LOG, _("Clear &Log\tCtrl+L"), ClearLogImage());
    menu->Append(ID_SAVE_LOG, _(L"&Save Log As\u2026\tCtrl+S"), wxString());
    menu->Append(ID_RECORD_TO_FILE, _(L"&Record to File\u2026"), wxString(), wxITEM_CHECK);
    menu->Append(ID_START_AT_LOGIN, _("Start at Login"), wxString(), wxITEM_CHECK);
    menu->Append(ID_SYSTEM_LOG, SystemLogMenuLabel(), wxString(), wxITEM_CHECK);
    menu->AppendSeparator();
    menu->Append(ID_ALWAYS_ON_TOP, _("Always on top"), wxString(), wxITEM_CHECK);
    menu->Append(ID_FOCUS_THIEVES, _("Focus Thieves"), wxString(), wxITEM_CHECK);
    menu->Append(ID_NOTIFY_UNPROMPTED, _("Notify Unprompted Takes"), wxString(), wxITEM_CHECK);
    menu->AppendSeparator();
    AppendImageItem(menu, wxID_ABOUT, _("&About"), AboutImage());
    menu->AppendSeparator();
    AppendImageItem(menu, ID_HIDE_TO_TRAY, _("&Hide to Tray"), HideImage());
    AppendImageItem(menu, wxID_EXIT, _("E&xit\tAlt-X"), ExitImage());
    menuBar->Append(menu, _("&File"));
    return menuBar;
}

wxToolBar* AddMainToolbar(wxFrame* frame, wxAuiManager& manager)
{
    wxToolBar* toolbar = new ToolBarPane(frame, ID_TOOLBAR, wxDefaultPosition, wxDefaultSize,
                                         wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER, L"toolbar");
    // The tools take their 16 x 16 from the images, which scale to any DPI; a
    // size set here is scaled by whole factors only (11 px on screen at 150 %).
    toolbar->AddTool(ID_CLEAR_LOG, wxString(), ClearLogImage(), wxBitmapBundle(), wxITEM_NORMAL,
                     L"Clear Log", wxString());
    toolbar->AddSeparator();
    toolbar->AddTool(wxID_ABOUT, wxString(), AboutImage(), wxBitmapBundle(), wxITEM_NORMAL, L"About",
                     wxString());
    toolbar->AddSeparator();
    toolbar->AddTool(ID_HIDE_TO_TRAY, wxString(), HideImage(), wxBitmapBundle(), wxITEM_NORMAL,
                     L"Hide window", wxString());
    toolbar->AddTool(wxID_EXIT, wxString(), ExitImage(), wxBitmapBundle(), wxITEM_NORMAL,
                     L"Terminate Application", wxString());
    toolbar->AddSeparator();
    toolbar->Realize();
    // The pane is exactly as tall as the tools: without a size of its own the
    // toolbar is first laid out one pixel high, which GTK complains about, and
    // the dock then leaves an empty strip below it.
    const wxSize toolbarSize = toolbar->GetBestSize();
    toolbar->SetSize(toolbarSize);

    manager.AddPane(toolbar, wxAuiPaneInfo()
                                 .Name(kToolbarPaneName)
                                 .ToolbarPane()
                                 .BestSize(toolbarSize)
                                 .MinSize(toolbarSize)
                                 .Top()
                                 .Layer(10)
                                 .Row(0)
                                 .Position(0)
                                 .Gripper(true)
                                 .Dockable(false)
                                 .Floatable(false)
                                 .Movable(false)
                                 .Resizable(false)
                                 .PaneBorder(false)
                                 .CaptionVisible(false)
                                 .CloseButton(false));
    return toolbar;
}
