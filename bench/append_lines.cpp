// Cost of appending one Activity-log line to the real text control when it
// already holds 1 000, 10 000 and 100 000 lines.
#include <chrono>
#include <cstdio>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/textctrl.h>

#include "monitor/activity_line.h"

namespace
{
using Clock = std::chrono::steady_clock;

void Flush()
{
    while (wxTheApp->Pending())
        wxTheApp->Dispatch();
}

wxString Line(int n)
{
    return FormatActivityLine(n, L"17:05:083", L"xterm", L"user@host: ~/src/corvalin - vim", 29360135);
}
}  // namespace

int main(int argc, char** argv)
{
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "append_lines: needs an X display\n");
        return 1;
    }
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, L"bench", wxDefaultPosition, wxSize(600, 450));
    wxTextCtrl* log = new wxTextCtrl(frame, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                     wxTE_MULTILINE | wxTE_RICH | wxTE_AUTO_URL | wxTE_NOHIDESEL);
    frame->Show();
    Flush();

    int lines = 0;
    const int marks[] = {1000, 10000, 100000};
    const int sample = 200;
    for (int mark : marks)
    {
        // Fill quickly up to the mark, then time single appends as the
        // monitor makes them, each followed by the repaint it causes.
        wxString bulk;
        while (lines < mark)
            bulk += Line(++lines);
        log->AppendText(bulk);
        Flush();
        const auto start = Clock::now();
        for (int i = 0; i < sample; ++i)
        {
            log->AppendText(Line(++lines));
            Flush();
        }
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        std::printf("append at %6d lines: %8.1f us per line (mean of %d)\n", mark, us / sample, sample);
    }
    frame->Destroy();
    Flush();
    wxEntryCleanup();
    return 0;
}
