// The baseline for bench/compare.sh: an empty wxGTK frame and nothing else,
// optionally with a wxTimer firing at --timer HZ whose handler does no work,
// to show what the toolkit alone costs at Corvalin's tick rate.
#include <wx/wx.h>

#include <cstdlib>
#include <cstring>

class BareApp : public wxApp
{
public:
    bool OnInit() override
    {
        long hz = 0;
        for (int i = 1; i < argc; ++i)
        {
            if (std::strcmp(argv[i].utf8_str(), "--timer") == 0 && i + 1 < argc)
                hz = std::strtol(argv[++i].utf8_str(), nullptr, 10);
        }
        const wxString title = hz > 0 ? wxString::Format("bench bare frame %ld Hz", hz)
                                      : wxString("bench bare frame");
        auto* frame = new wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(400, 300));
        frame->Show();
        if (hz > 0)
        {
            m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { ++m_ticks; });
            m_timer.Start(static_cast<int>(1000 / hz));
        }
        return true;
    }

private:
    wxTimer m_timer;
    unsigned long m_ticks = 0;
};

wxIMPLEMENT_APP(BareApp);
