#include "frame/thieves_pane.h"

#include <algorithm>
#include <optional>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/imaglist.h>
#include <wx/scrolbar.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "frame/ids.h"
#include "frame/png_writer.h"
#include "frame/takes_window.h"
#include "monitor/activity_line.h"
#include "monitor/activity_logger.h"
#include "platform/file_writes.h"
#include "settings/stored_names.h"

namespace
{
// Often enough to look live, seldom enough to cost nothing.
constexpr int kRefreshMs = 250;
// Room around a cell's text: the list's own margins and a gap.
constexpr int kCellPadding = 16;

enum Column
{
    kProgram,
    kLauncher,
    kTakes,
    kUnpromptedTakes,
    kBrief,
    kAttempts,
    kShortest,
    kMedian,
    kLongest,
    kTotal,
    kLastTake,
    kColumns,
};

wxString Optional(const std::optional<std::int64_t>& ms)
{
    return ms ? HoldDuration(*ms) : wxString(L"\u2014");
}
}  // namespace

ThievesPane::ThievesPane(wxWindow* parent, const ActivityLogger& activity, wxTextCtrl* log)
    : wxPanel(parent, ID_THIEVES_PANE), m_activity(activity), m_log(log), m_timer(this)
{
    Bind(wxEVT_TIMER, &ThievesPane::OnTimer, this);
}

// The table, the picture and their controls are made when the pane is first
// shown: most runs never show it, and making them costs the start a tenth.
void ThievesPane::EnsureBuilt()
{
    if (m_table)
        return;
    m_table = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                             wxLC_REPORT | wxLC_SINGLE_SEL);
    m_table->SetImageList(m_colours.Images(), wxIMAGE_LIST_SMALL);
    m_table->AppendColumn(_("Program"));
    m_table->AppendColumn(_("Launched by"));
    m_table->AppendColumn(_("Takes"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Unprompted"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Under 1 s"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Attempts"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Shortest"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Median"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Longest"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Total"), wxLIST_FORMAT_RIGHT);
    m_table->AppendColumn(_("Last take"));
    FitColumns();
    m_timeline = new HoldTimeline(this, m_activity.History(), m_colours,
                                  [this](const std::string& program) { return CulpritText(program); });
    wxCheckBox* byLauncher = new wxCheckBox(this, wxID_ANY, _("Group by launcher"));
    m_scroll = new wxScrollBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSB_HORIZONTAL);
    wxButton* save = new wxButton(this, ID_SAVE_PICTURE, _(L"Save Picture\u2026"));

    wxBoxSizer* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_table, 1, wxEXPAND);
    sizer->Add(m_timeline, 0, wxEXPAND | wxTOP, 4);
    sizer->Add(m_scroll, 0, wxEXPAND);
    wxBoxSizer* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(byLauncher, 0, wxALIGN_CENTER_VERTICAL | wxALL, 4);
    buttons->AddStretchSpacer();
    buttons->Add(save, 0, wxALL, 4);
    sizer->Add(buttons, 0, wxEXPAND);
    SetSizer(sizer);
    Layout();

    m_table->Bind(wxEVT_LIST_ITEM_SELECTED, &ThievesPane::OnRowSelected, this);
    m_table->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) {
        if (!m_filling)
            m_timeline->Mark({});
    });
    m_table->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& event) { ShowTakes(event.GetIndex()); });
    m_table->Bind(wxEVT_LIST_COL_CLICK, &ThievesPane::OnColumnClick, this);
    // The generic list draws its rows in a child window of its own.
    m_table->Bind(wxEVT_MOTION, &ThievesPane::OnTableMotion, this);
    for (wxWindow* child : m_table->GetChildren())
        child->Bind(wxEVT_MOTION, &ThievesPane::OnTableMotion, this);
    // The view caught up with the clock once the pointer leaves it.
    m_timeline->Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& event) {
        CallAfter([this] {
            if (IsShownOnScreen())
                CatchUp();
        });
        event.Skip();
    });
    byLauncher->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) { GroupByLauncher(event.IsChecked()); });
    for (const wxEventTypeTag<wxScrollEvent>& type :
         {wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN,
          wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK,
          wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_CHANGED})
        m_scroll->Bind(type, &ThievesPane::OnScroll, this);
    save->Bind(wxEVT_BUTTON, &ThievesPane::OnSavePicture, this);
}

ThievesPane::~ThievesPane() = default;

ThievesPane* ThievesPane::AddTo(wxAuiManager& manager, const ActivityLogger& activity,
                                wxTextCtrl* log)
{
    ThievesPane* pane = new ThievesPane(manager.GetManagedWindow(), activity, log);
    // The table's columns need more than the 30 % a side dock gets by
    // default; the toolbar's dock is as high as its tools anyway.
    manager.SetDockSizeConstraint(0.5, 0.5);
    manager.AddPane(pane, wxAuiPaneInfo()
                              .Name(kThievesPaneName)
                              .Caption(_("Focus thieves"))
                              .Right()
                              .Layer(0)
                              .Row(0)
                              .Position(0)
                              .BestSize(wxSize(600, 320))
                              .MinSize(wxSize(kMinWidth, kMinHeight))
                              .Floatable(false)
                              .CloseButton(true)
                              .Hide());
    return pane;
}

wxListCtrl* ThievesPane::GetTable()
{
    EnsureBuilt();
    return m_table;
}

HoldTimeline* ThievesPane::GetTimeline()
{
    EnsureBuilt();
    return m_timeline;
}

bool ThievesPane::Show(bool show)
{
    if (show)
        EnsureBuilt();
    const bool changed = wxPanel::Show(show);
    if (show && !m_timer.IsRunning())
    {
        // Whatever happened while hidden shows at once.
        m_generation = ~std::uint64_t(0);
        CallAfter([this] { CatchUp(); });
        m_timer.Start(kRefreshMs);
    }
    else if (!show)
        m_timer.Stop();
    return changed;
}

void ThievesPane::OnTimer(wxTimerEvent&)
{
    // Also still while the frame is hidden in the tray; nothing to draw then.
    if (IsShownOnScreen())
        CatchUp();
}

void ThievesPane::CatchUp()
{
    EnsureBuilt();
    const std::int64_t nowMs = wxDateTime::UNow().GetValue().GetValue();
    bool changed = false;
    if (m_activity.History().Generation() != m_generation)
    {
        m_generation = m_activity.History().Generation();
        FillTable();
        changed = true;
    }
    // While the pointer is over the picture, what it points at stays put;
    // it catches up once the pointer leaves.
    if (m_timeline->IsPointedAt() && m_timeline->GetScreenRect().Contains(wxGetMousePosition()))
    {
        if (changed)
            m_timeline->Refresh();
        return;
    }
    // Following the clock, the picture moves once a pixel's worth of time
    // has passed.
    const int width = std::max(1, m_timeline->GetClientSize().x);
    if (m_following && nowMs - m_timeline->NowMs() >= kSpanMs / width)
        changed = true;
    if (!changed)
        return;
    UpdateScrollBar(nowMs);
    m_timeline->SetView(m_following ? nowMs : m_viewEndMs, nowMs);
    m_timeline->Refresh();
}

void ThievesPane::FillTable()
{
    std::vector<ProgramHolds> programs =
        (m_byLauncher ? m_activity.HoldsByLauncher() : m_activity.Holds()).Programs();
    Sort(programs);
    std::string selected;
    const long selectedRow = m_table->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (selectedRow >= 0 && static_cast<std::size_t>(selectedRow) < m_rows.size())
        selected = m_rows[selectedRow];

    m_filling = true;
    m_table->Freeze();
    while (m_table->GetItemCount() > static_cast<int>(programs.size()))
        m_table->DeleteItem(m_table->GetItemCount() - 1);
    m_rows.clear();
    m_rowTips.clear();
    for (std::size_t i = 0; i < programs.size(); ++i)
    {
        const ProgramHolds& program = programs[i];
        const long row = static_cast<long>(i);
        const wxString name = wxString::FromUTF8(program.module);
        const wxString launcher =
            program.launcher.empty() ? wxString(L"\u2014") : wxString::FromUTF8(program.launcher);
        const wxString cells[kColumns] = {
            name,
            launcher,
            wxString::Format(L"%lld", program.takes),
            wxString::Format(L"%lld", program.unprompted),
            wxString::Format(L"%lld", program.brief),
            wxString::Format(L"%lld", program.attempts),
            Optional(program.shortestMs),
            Optional(program.medianMs),
            Optional(program.longestMs),
            Optional(program.shortestMs ? std::optional(program.totalMs) : std::nullopt),
            program.takes ? HoldTime(program.lastTakeMs) : wxString(L"\u2014"),
        };
        // Only what changed is set and measured: the list redraws a row
        // for each cell set, and a burst refills the table four times a second.
        if (row >= m_table->GetItemCount())
        {
            m_table->InsertItem(row, name, m_colours.Image(program.module));
            Measure(kProgram, name);
        }
        else if (m_table->GetItemText(row, kProgram) != name)
        {
            m_table->SetItem(row, kProgram, name, m_colours.Image(program.module));
            Measure(kProgram, name);
        }
        for (int column = kLauncher; column < kColumns; ++column)
            if (m_table->GetItemText(row, column) != cells[column])
            {
                m_table->SetItem(row, column, cells[column]);
                Measure(column, cells[column]);
            }
        // The same program stays selected wherever the order moves it.
        m_table->SetItemState(row, program.module == selected ? wxLIST_STATE_SELECTED : 0,
                              wxLIST_STATE_SELECTED);
        m_rows.push_back(program.module);
        // The whole row in words, for a name cut short or a column out of view.
        wxString tip;
        for (int column = 0; column < kColumns; ++column)
        {
            wxListItem header;
            header.SetMask(wxLIST_MASK_TEXT);
            m_table->GetColumn(column, header);
            tip += (column ? L"\n" : L"") + header.GetText() + L": " + cells[column];
        }
        m_rowTips.push_back(tip + L"\n" + _("Double-click for its takes."));
    }
    FitColumns();
    m_table->Thaw();
    m_filling = false;
}

// Each column as wide as its widest text, header included, so that nothing
// is cut while there is room; the pane's width follows from them.  Widths
// only grow: a column that shrank back would make the table jump.
void ThievesPane::Measure(int column, const wxString& text)
{
    if (m_widths.empty())
        m_widths.assign(kColumns, 0);
    int width = m_table->GetTextExtent(text).x + kCellPadding;
    if (column == kProgram)
        width += 12 + 6;  // the swatch beside the name
    m_widths[column] = std::max(m_widths[column], width);
}

void ThievesPane::FitColumns()
{
    for (int column = 0; column < kColumns; ++column)
    {
        wxListItem header;
        header.SetMask(wxLIST_MASK_TEXT);
        m_table->GetColumn(column, header);
        Measure(column, header.GetText());
        if (m_table->GetColumnWidth(column) != m_widths[column])
            m_table->SetColumnWidth(column, m_widths[column]);
    }
}

int ThievesPane::WantedWidth()
{
    EnsureBuilt();
    int width = 0;
    for (int column = 0; column < kColumns; ++column)
        width += m_table->GetColumnWidth(column);
    // The list's border and a vertical scroll bar, should it need one.
    return width + 8 + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, m_table);
}

void ThievesPane::Sort(std::vector<ProgramHolds>& programs) const
{
    if (m_sortColumn < 0)
        return;  // most unprompted first, as the bookkeeping gives them
    const auto key = [this](const ProgramHolds& p) -> std::pair<std::int64_t, std::string> {
        switch (m_sortColumn)
        {
        case kTakes: return {p.takes, {}};
        case kUnpromptedTakes: return {p.unprompted, {}};
        case kBrief: return {p.brief, {}};
        case kAttempts: return {p.attempts, {}};
        case kShortest: return {p.shortestMs.value_or(-1), {}};
        case kMedian: return {p.medianMs.value_or(-1), {}};
        case kLongest: return {p.longestMs.value_or(-1), {}};
        case kTotal: return {p.shortestMs ? p.totalMs : -1, {}};
        case kLastTake: return {p.lastTakeMs, {}};
        case kLauncher: return {0, p.launcher};
        default: return {0, p.module};
        }
    };
    // Equal rows by name, A to Z, whichever way the column runs.
    std::stable_sort(programs.begin(), programs.end(), [&](const ProgramHolds& a, const ProgramHolds& b) {
        const auto keyA = key(a), keyB = key(b);
        if (keyA != keyB)
            return m_sortAscending ? keyA < keyB : keyB < keyA;
        return a.module < b.module;
    });
}

void ThievesPane::OnColumnClick(wxListEvent& event)
{
    const int column = event.GetColumn();
    if (column < 0 || column >= kColumns)
        return;
    // The same header again turns the order round; counts and lengths
    // start with the most, names with A.
    if (column == m_sortColumn)
        m_sortAscending = !m_sortAscending;
    else
        m_sortAscending = column == kProgram || column == kLauncher;
    m_sortColumn = column;
    m_table->ShowSortIndicator(column, m_sortAscending);
    FillTable();
}

void ThievesPane::OnTableMotion(wxMouseEvent& event)
{
    event.Skip();
    wxWindow* under = static_cast<wxWindow*>(event.GetEventObject());
    int flags = 0;
    const long row = m_table->HitTest(event.GetPosition(), flags);
    const wxString tip =
        row >= 0 && static_cast<std::size_t>(row) < m_rowTips.size() ? m_rowTips[row] : wxString();
    if (tip == under->GetToolTipText())
        return;
    if (tip.empty())
        under->UnsetToolTip();
    else
        under->SetToolTip(tip);
}

std::set<std::string> ThievesPane::ProgramsOf(long row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return {};
    if (!m_byLauncher)
        return {m_rows[row]};
    // By launcher: the programs whose latest take it launched.
    std::set<std::string> programs;
    for (const ProgramHolds& program : m_activity.Holds().Programs())
        if ((program.launcher.empty() ? std::string(ActivityLogger::kNoLauncher) : program.launcher) ==
            m_rows[row])
            programs.insert(program.module);
    return programs;
}

wxWindow* ThievesPane::ShowTakes(long row)
{
    const std::set<std::string> programs = ProgramsOf(row);
    if (programs.empty())
        return nullptr;
    TakesWindow* window =
        new TakesWindow(wxGetTopLevelParent(this), m_activity.History(), programs, wxString::FromUTF8(m_rows[row]));
    window->Show();
    return window;
}

void ThievesPane::UpdateScrollBar(std::int64_t nowMs)
{
    const int thumb = static_cast<int>(kSpanMs / 1000);
    if (m_activity.History().Size() == 0)
    {
        m_scroll->SetScrollbar(0, thumb, thumb, thumb);
        return;
    }
    // In seconds from the oldest hold kept to now.
    const std::int64_t firstMs = m_activity.History()[0].startMs;
    const int range = std::max(thumb, static_cast<int>((nowMs - firstMs + 999) / 1000));
    int position = range - thumb;
    if (!m_following)
        position = std::clamp(static_cast<int>((m_viewEndMs - firstMs) / 1000) - thumb, 0,
                              range - thumb);
    m_scroll->SetScrollbar(position, thumb, range, thumb);
}

void ThievesPane::OnScroll(wxScrollEvent& event)
{
    if (m_activity.History().Size() == 0)
        return;
    const int thumb = m_scroll->GetThumbSize();
    const int position = event.GetPosition();
    const std::int64_t nowMs = wxDateTime::UNow().GetValue().GetValue();
    m_following = position + thumb >= m_scroll->GetRange();
    m_viewEndMs = m_activity.History()[0].startMs +
                  (static_cast<std::int64_t>(position) + thumb) * 1000;
    m_timeline->SetView(m_following ? nowMs : m_viewEndMs, nowMs);
    m_timeline->Refresh();
}

void ThievesPane::GroupByLauncher(bool byLauncher)
{
    m_byLauncher = byLauncher;
    // The two name columns trade places.
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT);
    column.SetText(byLauncher ? _("Launched by") : _("Program"));
    m_table->SetColumn(kProgram, column);
    column.SetText(byLauncher ? _("Program") : _("Launched by"));
    m_table->SetColumn(kLauncher, column);
    FillTable();
}

wxString ThievesPane::CulpritText(const std::string& program) const
{
    const std::shared_ptr<const ProcessFacts> facts = m_activity.LastFactsOf(program);
    if (!facts)
        return wxString();
    // The chain as its latest take found it: the window's process first.
    wxString chain = facts->process.module.empty() ? wxString(L"?") : ShownText(facts->process.module);
    for (const ProcessLink& link : facts->parents)
        chain += L" \u2190 " + (link.module.empty() ? wxString(L"?") : ShownText(link.module));
    wxString text = L"\nlatest take started by: " + chain;
    if (facts->end == ChainEnd::Reused)
        text += L" (then an id that was handed out again)";
    else if (facts->end == ChainEnd::Gone)
        text += L" (then a process that has ended)";
    text += L"\ncommand: " + ShownText(facts->commandLine.value_or(_("not readable")));
    return text;
}

void ThievesPane::OnRowSelected(wxListEvent& event)
{
    const long row = event.GetIndex();
    if (m_filling || row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return;
    m_timeline->Mark(ProgramsOf(row));
    const std::optional<int> number = m_activity.LastLineOf(m_rows[row], m_byLauncher);
    if (!number)
        return;
    // The log is searched only now, on the user's click: its whole text is
    // a copy on GTK.
    const auto line = FindNumberedLine(m_log->GetValue(), *number);
    if (!line)
        return;
    m_log->SetSelection(static_cast<long>(line->first), static_cast<long>(line->second));
    m_log->ShowPosition(static_cast<long>(line->first));
}

bool ThievesPane::SavePicture(const wxString& path, wxString& problem)
{
    EnsureBuilt();
    problem.clear();
    std::vector<char> bytes;
    if (!EncodePng(m_timeline->Picture().ConvertToImage(), bytes))
    {
        problem = wxString::Format(_("\"%s\" was not saved: the picture could not be made."), path);
        return false;
    }
    wxString reason;
    if (ReplaceFileContents(path, bytes.data(), bytes.size(), reason))
        return true;
    problem = wxString::Format(_("\"%s\" was not saved: %s."), path, reason);
    return false;
}

void ThievesPane::OnSavePicture(wxCommandEvent&)
{
    wxFileDialog dialog(this, _("Save Picture"), wxString(), L"focus-timeline.png",
                        _("PNG images (*.png)|*.png"), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    wxString problem;
    if (!SavePicture(dialog.GetPath(), problem))
        wxMessageBox(problem, L"Message", wxOK | wxICON_ERROR | wxCENTRE, this);
}
