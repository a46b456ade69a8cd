#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <wx/aui/framemanager.h>
#include <wx/panel.h>
#include <wx/timer.h>

class ActivityLogger;
class HoldTimeline;
class wxImageList;
class wxListCtrl;
class wxListEvent;
class wxScrollBar;
class wxScrollEvent;
class wxTextCtrl;

// One colour per program for this run: the table's swatch and the
// timeline's bars match.
class ProgramColours
{
public:
    ProgramColours();
    ~ProgramColours();
    wxColour Of(const std::string& module);
    // The swatch's index in Images().
    int Image(const std::string& module);
    wxImageList* Images() const { return m_images.get(); }

private:
    int Index(const std::string& module);

    std::map<std::string, int> m_index;
    std::unique_ptr<wxImageList> m_images;
};

// The "Focus thieves" pane: per program, how it took the focus in this run,
// and a timeline of the holds.  It only reads the activity logger's
// bookkeeping, on a timer that runs while the pane is shown and redraws
// only what changed; hidden, it costs nothing.
class ThievesPane : public wxPanel
{
public:
    static constexpr std::int64_t kSpanMs = 10 * 60 * 1000;

    ThievesPane(wxWindow* parent, const ActivityLogger& activity, wxTextCtrl* log);
    ~ThievesPane() override;

    // Docked to the right of the log, hidden until asked for.
    static ThievesPane* AddTo(wxAuiManager& manager, const ActivityLogger& activity,
                              wxTextCtrl* log);

    bool Show(bool show = true) override;
    // Brings the table and the timeline up to date: the timer's work.
    void CatchUp();

    wxListCtrl* GetTable();
    wxWindow* GetTimeline();
    // The timeline as a PNG of its size on screen; false with the reason.
    bool SavePicture(const wxString& path, wxString& problem);

private:
    void EnsureBuilt();
    void FillTable();
    void UpdateScrollBar(std::int64_t nowMs);
    void OnTimer(wxTimerEvent& event);
    void OnRowSelected(wxListEvent& event);
    void GroupByLauncher(bool byLauncher);
    // Who was behind the program's latest take, for the timeline's tooltip.
    wxString CulpritText(const std::string& program) const;
    void OnScroll(wxScrollEvent& event);
    void OnSavePicture(wxCommandEvent& event);

    const ActivityLogger& m_activity;
    wxTextCtrl* m_log;
    ProgramColours m_colours;
    wxListCtrl* m_table = nullptr;
    HoldTimeline* m_timeline = nullptr;
    wxScrollBar* m_scroll = nullptr;
    wxTimer m_timer;
    // The programs in the table's order.
    std::vector<std::string> m_rows;
    bool m_filling = false;
    bool m_byLauncher = false;  // rows by launcher rather than by program
    std::uint64_t m_generation = ~std::uint64_t(0);
    // The timeline follows the clock until scrolled back.
    bool m_following = true;
    std::int64_t m_viewEndMs = 0;
};
