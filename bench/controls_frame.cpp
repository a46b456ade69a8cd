// Start-up peer for bench/compare.sh: a frame with the controls Corvalin makes
// before it is shown (the docking manager, the File menu with its images and
// accelerators, the toolbar pane, the rich multi-line log under a caption)
// and no logic at all: what those controls alone cost the toolkit.
#include <wx/aui/aui.h>
#include <wx/wx.h>

namespace
{
const char kImage[] = "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                      "<rect x='2' y='2' width='12' height='12' fill='#36c'/></svg>";

class ControlsFrame : public wxFrame
{
public:
    ControlsFrame()
        : wxFrame(nullptr, wxID_ANY, "bench controls frame", wxDefaultPosition, wxSize(600, 450))
    {
        m_mgr.SetManagedWindow(this);
        const wxBitmapBundle image = wxBitmapBundle::FromSVG(kImage, wxSize(16, 16));
        auto* menu = new wxMenu;
        auto withImage = [&](int id, const char* text) {
            auto* item = new wxMenuItem(menu, id, text);
            item->SetBitmap(image);
            menu->Append(item);
        };
        menu->Append(1, "&Monitor Windows \tCtrl+M", "", wxITEM_CHECK);
        withImage(2, "Clear &Log\tCtrl+L");
        menu->Append(3, "&Save Log As...\tCtrl+S");
        menu->Append(4, "&Record to File...", "", wxITEM_CHECK);
        menu->Append(5, "Start at Login", "", wxITEM_CHECK);
        menu->Append(6, "Log to System Journal", "", wxITEM_CHECK);
        menu->AppendSeparator();
        menu->Append(7, "Always on top", "", wxITEM_CHECK);
        menu->Append(8, "Focus Thieves", "", wxITEM_CHECK);
        menu->Append(9, "Notify Unprompted Takes", "", wxITEM_CHECK);
        menu->AppendSeparator();
        withImage(wxID_ABOUT, "&About");
        menu->AppendSeparator();
        withImage(10, "&Hide to Tray");
        withImage(wxID_EXIT, "E&xit\tAlt-X");
        auto* menuBar = new wxMenuBar;
        menuBar->Append(menu, "&File");
        SetMenuBar(menuBar);

        auto* tools = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                    wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
        tools->AddTool(2, "", image, "Clear Log");
        tools->AddSeparator();
        tools->AddTool(wxID_ABOUT, "", image, "About");
        tools->AddSeparator();
        tools->AddTool(10, "", image, "Hide window");
        tools->AddTool(wxID_EXIT, "", image, "Terminate Application");
        tools->AddSeparator();
        tools->Realize();
        const wxSize toolsSize = tools->GetBestSize();
        tools->SetSize(toolsSize);
        m_mgr.AddPane(tools, wxAuiPaneInfo()
                                 .Name("tools")
                                 .ToolbarPane()
                                 .BestSize(toolsSize)
                                 .MinSize(toolsSize)
                                 .Top()
                                 .Layer(10)
                                 .Gripper(true)
                                 .Dockable(false)
                                 .Floatable(false)
                                 .Movable(false)
                                 .Resizable(false)
                                 .PaneBorder(false)
                                 .CaptionVisible(false)
                                 .CloseButton(false));

        auto* log = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                   wxTE_MULTILINE | wxTE_RICH | wxTE_AUTO_URL | wxTE_NOHIDESEL);
        m_mgr.AddPane(log, wxAuiPaneInfo().Name("log").Centre().Floatable(false).CloseButton(
                               false).CaptionVisible(true));
        m_mgr.Update();
        log->SetFocus();
    }
    ~ControlsFrame() override { m_mgr.UnInit(); }

private:
    wxAuiManager m_mgr;
};
}  // namespace

class ControlsApp : public wxApp
{
public:
    bool OnInit() override
    {
        (new ControlsFrame)->Show();
        return true;
    }
};

wxIMPLEMENT_APP(ControlsApp);
