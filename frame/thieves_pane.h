#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <wx/aui/framemanager.h>
#include <wx/panel.h>
#include <wx/timer.h>

#include "frame/hold_timeline.h"

class ActivityLogger;
struct ProgramHolds;
class wxListCtrl;
class wxListEvent;
class wxScrollBar;
class wxScrollEvent;
class wxTextCtrl;

// The "Focus thieves" pane: per program, how it took the focus in this run,
// and a timeline of the holds.  It only reads the activity logger's
// bookkeeping, on a timer that runs while the pane is shown and redraws
// only what changed; hidden, it costs nothing.
class ThievesPane : public wxPanel
{
public:
    static constexpr std::int64_t kSpanMs = HoldTimeline::kSpanMs;
    // Below these the table and the log next to it are no longer readable.
    static constexpr int kMinWidth = 160;
    static constexpr int kMinHeight = 220;

    ThievesPane(wxWindow* parent, const ActivityLogger& activity, wxTextCtrl* log);
    ~ThievesPane() override;

    // Docked to the right of the log, hidden until asked for.
    static ThievesPane* AddTo(wxAuiManager& manager, const ActivityLogger& activity,
                              wxTextCtrl* log);

    bool Show(bool show = true) override;
    // Brings the table and the timeline up to date: the timer's work.
    void CatchUp();

    wxListCtrl* GetTable();
    HoldTimeline* GetTimeline();
    // The width at which every column shows whole.
    int WantedWidth();
    // The timeline as a PNG, with its time span and a key of the colours;
    // false with the reason.
    bool SavePicture(const wxString& path, wxString& problem);
    // The window listing the takes of the table's row.
    wxWindow* ShowTakes(long row);

private:
    void EnsureBuilt();
    void FillTable();
    void FitColumns();
    void Measure(int column, const wxString& text);
    void Sort(std::vector<ProgramHolds>& programs) const;
    void UpdateScrollBar(std::int64_t nowMs);
    void OnTimer(wxTimerEvent& event);
    void OnRowSelected(wxListEvent& event);
    void OnColumnClick(wxListEvent& event);
    void OnTableMotion(wxMouseEvent& event);
    void GroupByLauncher(bool byLauncher);
    // The programs a row stands for: itself, or those its launcher started.
    std::set<std::string> ProgramsOf(long row) const;
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
    // The rows in the table's order, and each row's whole text.
    std::vector<std::string> m_rows;
    std::vector<wxString> m_rowTips;
    std::vector<int> m_widths;  // per column, the widest text yet
    bool m_filling = false;
    bool m_byLauncher = false;  // rows by launcher rather than by program
    // The column clicked last, and which way; none: most unprompted first.
    int m_sortColumn = -1;
    bool m_sortAscending = true;
    std::uint64_t m_generation = ~std::uint64_t(0);
    // The timeline follows the clock until scrolled back.
    bool m_following = true;
    std::int64_t m_viewEndMs = 0;
};
