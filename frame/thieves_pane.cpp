#include "frame/thieves_pane.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/imaglist.h>
#include <zlib.h>
#include <wx/listctrl.h>
#include <wx/mstream.h>
#include <wx/msgdlg.h>
#include <wx/scrolbar.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "frame/ids.h"
#include "monitor/activity_line.h"
#include "monitor/activity_logger.h"
#include "platform/file_writes.h"
#include "settings/stored_names.h"

namespace
{
// Often enough to look live, seldom enough to cost nothing.
constexpr int kRefreshMs = 250;
constexpr int kSwatch = 12;
constexpr int kMinBarWidth = 3;

const wxColour kBackground(255, 255, 255);
const wxColour kLane(236, 236, 236);
const wxColour kInk(60, 60, 60);
const wxColour kUnprompted(214, 39, 40);

enum Column
{
    kProgram,
    kLauncher,
    kTakes,
    kUnpromptedTakes,
    kBrief,
    kShortest,
    kLastTake,
};

// The timeline's rows, top to bottom.
struct Rows
{
    int headerBottom = 16;
    int markTop = 18;
    int laneTop = 27;
    int laneBottom = 61;
    int briefBottom = 70;
    int axis = 72;
};
const Rows kRows;
constexpr int kTimelineHeight = 92;

wxDateTime FromMs(std::int64_t ms)
{
    return wxDateTime(wxLongLong(ms));
}

wxString FullTime(std::int64_t ms)
{
    return FromMs(ms).Format(L"%Y-%m-%d %H:%M:%S.%l");
}

wxString Duration(std::int64_t ms)
{
    if (ms < 1000)
        return wxString::Format(L"%lld ms", static_cast<long long>(ms));
    if (ms < 60000)
        return wxString::Format(L"%.3f s", ms / 1000.0);
    return wxString::Format(L"%lld min %lld s", static_cast<long long>(ms / 60000),
                            static_cast<long long>(ms % 60000 / 1000));
}

bool IsBrief(const Hold& hold)
{
    return hold.endMs && !hold.cut && *hold.endMs - hold.startMs < HoldHistory::kBriefMs;
}

bool IsUnpromptedTake(const Hold& hold)
{
    return hold.take && hold.unprompted == true;
}

wxString Describe(const Hold& hold, std::int64_t nowMs)
{
    wxString text = wxString::FromUTF8(hold.module) + L" \u2014 " + wxString::FromUTF8(hold.title);
    text += L"\nfrom " + FullTime(hold.startMs);
    if (hold.IsOpen())
        text += L"\nstill holds the focus, for " +
                Duration(std::max<std::int64_t>(0, nowMs - hold.startMs));
    else if (hold.cut)
        text += L"\nheld at least " + Duration(*hold.endMs - hold.startMs) +
                L" (then the log was cleared or monitoring stopped)";
    else
        text += L"\nheld " + Duration(*hold.endMs - hold.startMs);
    if (!hold.take)
        text += L"\nthe focus came back after a theft";
    else if (hold.unprompted == true)
        text += L"\nunprompted: no input just before it";
    else if (hold.unprompted == false)
        text += L"\nasked for";
    else
        text += L"\nwhether it was asked for is not known";
    return text;
}

void Triangle(wxDC& dc, int x, int tipY, int height)
{
    // Pointing at the bar: down from above, up from below.
    const int dir = height > 0 ? 1 : -1;
    const wxPoint points[] = {{x - 4, tipY - height}, {x + 4, tipY - height}, {x, tipY - dir}};
    dc.DrawPolygon(3, points);
}
}  // namespace

// Ten minutes of holds, one bar each in its program's colour; unprompted
// takes marked above, holds under a second below, so that a theft of a few
// milliseconds still shows.
class HoldTimeline : public wxWindow
{
public:
    // Text about who was behind a program's latest take, for the tooltip.
    using Culprit = std::function<wxString(const std::string& program)>;

    HoldTimeline(wxWindow* parent, const HoldHistory& history, ProgramColours& colours, Culprit culprit)
        : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, kTimelineHeight),
                   wxFULL_REPAINT_ON_RESIZE),
          m_history(history), m_colours(colours), m_culprit(std::move(culprit))
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        const std::int64_t nowMs = wxDateTime::UNow().GetValue().GetValue();
        SetView(nowMs, nowMs);
        SetMinSize(wxSize(200, kTimelineHeight));
        Bind(wxEVT_PAINT, &HoldTimeline::OnPaint, this);
        Bind(wxEVT_MOTION, &HoldTimeline::OnMotion, this);
    }

    void SetView(std::int64_t endMs, std::int64_t nowMs)
    {
        m_endMs = endMs;
        m_nowMs = nowMs;
    }
    std::int64_t NowMs() const { return m_nowMs; }

    void Draw(wxDC& dc, const wxSize& size)
    {
        dc.SetBackground(wxBrush(kBackground));
        dc.Clear();
        dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).Smaller());
        dc.SetTextForeground(kInk);
        const int width = size.x;
        const std::int64_t startMs = m_endMs - ThievesPane::kSpanMs;

        // The span as long as there is room for it beside the legend.
        const int legendX = DrawLegend(dc, width);
        for (const wxString& span :
             {FromMs(startMs).Format(L"%Y-%m-%d %H:%M:%S") + L" \u2013 " +
                  FromMs(m_endMs).Format(L"%H:%M:%S"),
              FromMs(startMs).Format(L"%H:%M") + L" \u2013 " + FromMs(m_endMs).Format(L"%H:%M")})
            if (dc.GetTextExtent(span).x + 12 <= legendX)
            {
                dc.DrawText(span, 2, 1);
                break;
            }

        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(kLane));
        dc.DrawRectangle(0, kRows.laneTop, width, kRows.laneBottom - kRows.laneTop);

        const std::vector<Bar> bars = Bars(width);
        // Brief holds last, so that no longer neighbour covers them.
        for (int pass = 0; pass < 2; ++pass)
            for (const Bar& bar : bars)
            {
                const Hold& hold = m_history[bar.index];
                if (IsBrief(hold) != (pass == 1))
                    continue;
                const wxColour colour = m_colours.Of(hold.module);
                dc.SetBrush(hold.cut ? wxBrush(colour, wxBRUSHSTYLE_BDIAGONAL_HATCH)
                                     : wxBrush(colour));
                dc.SetPen(IsUnpromptedTake(hold) ? wxPen(kUnprompted, 2)
                                                 : wxPen(colour.ChangeLightness(70)));
                dc.DrawRectangle(bar.x, kRows.laneTop, bar.width, kRows.laneBottom - kRows.laneTop);
            }
        dc.SetPen(*wxTRANSPARENT_PEN);
        for (const Bar& bar : bars)
        {
            const Hold& hold = m_history[bar.index];
            if (IsUnpromptedTake(hold))
            {
                dc.SetBrush(wxBrush(kUnprompted));
                Triangle(dc, bar.x, kRows.laneTop, kRows.laneTop - kRows.markTop);
            }
            if (IsBrief(hold))
            {
                dc.SetBrush(wxBrush(kInk));
                Triangle(dc, bar.x + bar.width / 2, kRows.laneBottom,
                         kRows.laneBottom - kRows.briefBottom);
            }
        }
        DrawAxis(dc, width, startMs);
    }

    // The hold under the pointer, narrowest first: a brief one drawn over a
    // long one is the one pointed at.
    std::optional<std::size_t> HoldAt(const wxPoint& point)
    {
        if (point.y < kRows.markTop || point.y > kRows.briefBottom)
            return std::nullopt;
        std::optional<std::size_t> found;
        int narrowest = 0;
        for (const Bar& bar : Bars(GetClientSize().x))
            if (point.x >= bar.x - 1 && point.x <= bar.x + bar.width &&
                (!found || bar.width < narrowest))
            {
                found = bar.index;
                narrowest = bar.width;
            }
        return found;
    }

private:
    struct Bar
    {
        std::size_t index;
        int x;
        int width;
    };

    int X(std::int64_t ms, int width) const
    {
        const double from = static_cast<double>(ms - (m_endMs - ThievesPane::kSpanMs));
        return static_cast<int>(std::floor(from * width / ThievesPane::kSpanMs));
    }

    std::vector<Bar> Bars(int width) const
    {
        std::vector<Bar> bars;
        const std::int64_t startMs = m_endMs - ThievesPane::kSpanMs;
        const std::size_t first = m_history.Size() ? m_history.FirstFrom(startMs) : 0;
        for (std::size_t i = first; i < m_history.Size(); ++i)
        {
            const std::int64_t holdStartMs = m_history.StartMs(i);
            const std::int64_t endMs = m_history.EndMs(i).value_or(std::max(holdStartMs, m_nowMs));
            if (holdStartMs > m_endMs)
                break;
            if (endMs < startMs)
                continue;
            const int x0 = std::max(X(holdStartMs, width), -kMinBarWidth);
            const int x1 = std::min(X(endMs, width), width + kMinBarWidth);
            bars.push_back(Bar{i, x0, std::max(x1 - x0, kMinBarWidth)});
        }
        return bars;
    }

    // Returns where it begins.
    int DrawLegend(wxDC& dc, int width)
    {
        const wxString unprompted = L"unprompted";
        const wxString brief = L"under a second";
        const int y = 3;
        int x = width - dc.GetTextExtent(brief).x - 14;
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(kInk));
        Triangle(dc, x - 6, y, -8);
        dc.DrawText(brief, x, y - 2);
        x -= dc.GetTextExtent(unprompted).x + 24;
        dc.SetBrush(wxBrush(kUnprompted));
        Triangle(dc, x - 6, y + 9, 8);
        dc.DrawText(unprompted, x, y - 2);
        return x - 12;
    }

    void DrawAxis(wxDC& dc, int width, std::int64_t startMs)
    {
        dc.SetPen(wxPen(kInk));
        dc.DrawLine(0, kRows.axis, width, kRows.axis);
        // A tick a minute, a label where there is room for one.
        const std::int64_t minute = 60000;
        const int labelWidth = dc.GetTextExtent(L"00:00").x + 8;
        const int every = width / 10 >= labelWidth ? 1 : width / 5 >= labelWidth ? 2 : 5;
        for (std::int64_t t = (startMs / minute + 1) * minute; t <= m_endMs; t += minute)
        {
            const int x = X(t, width);
            dc.DrawLine(x, kRows.axis, x, kRows.axis + 4);
            const wxDateTime when = FromMs(t);
            if (when.GetMinute() % every != 0)
                continue;
            const wxString label = when.Format(L"%H:%M");
            const int labelX = x - dc.GetTextExtent(label).x / 2;
            if (labelX >= 0 && labelX + labelWidth - 8 <= width)
                dc.DrawText(label, labelX, kRows.axis + 4);
        }
    }

    void OnPaint(wxPaintEvent&)
    {
        wxAutoBufferedPaintDC dc(this);
        Draw(dc, GetClientSize());
    }

    void OnMotion(wxMouseEvent& event)
    {
        const std::optional<std::size_t> index = HoldAt(event.GetPosition());
        wxString tip;
        if (index)
        {
            const Hold hold = m_history[*index];
            tip = Describe(hold, m_nowMs) + m_culprit(hold.module);
        }
        if (tip != GetToolTipText())
        {
            if (tip.empty())
                UnsetToolTip();
            else
                SetToolTip(tip);
        }
        event.Skip();
    }

    const HoldHistory& m_history;
    ProgramColours& m_colours;
    Culprit m_culprit;
    std::int64_t m_endMs = 0;
    std::int64_t m_nowMs = 0;
};

ProgramColours::ProgramColours() : m_images(new wxImageList(kSwatch, kSwatch, false)) {}

ProgramColours::~ProgramColours() = default;

int ProgramColours::Index(const std::string& module)
{
    const auto it = m_index.find(module);
    if (it != m_index.end())
        return it->second;
    const int index = static_cast<int>(m_index.size());
    m_index.emplace(module, index);
    wxBitmap swatch(kSwatch, kSwatch);
    {
        wxMemoryDC dc(swatch);
        dc.SetBackground(wxBrush(Of(module)));
        dc.Clear();
    }
    m_images->Add(swatch);
    return index;
}

wxColour ProgramColours::Of(const std::string& module)
{
    const auto it = m_index.find(module);
    const int index = it != m_index.end() ? it->second : Index(module);
    // Hues a golden angle apart: neighbours in order of appearance differ most.
    const double hue = std::fmod(index * 0.618033988749895 + 0.58, 1.0);
    const wxImage::RGBValue rgb = wxImage::HSVtoRGB(wxImage::HSVValue(hue, 0.55, 0.85));
    return wxColour(rgb.red, rgb.green, rgb.blue);
}

int ProgramColours::Image(const std::string& module)
{
    return Index(module);
}

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
    m_table->AppendColumn(_("Program"), wxLIST_FORMAT_LEFT, 110);
    m_table->AppendColumn(_("Launched by"), wxLIST_FORMAT_LEFT, 96);
    m_table->AppendColumn(_("Takes"), wxLIST_FORMAT_RIGHT, 52);
    m_table->AppendColumn(_("Unprompted"), wxLIST_FORMAT_RIGHT, 92);
    m_table->AppendColumn(_("Under 1 s"), wxLIST_FORMAT_RIGHT, 74);
    m_table->AppendColumn(_("Shortest"), wxLIST_FORMAT_RIGHT, 72);
    m_table->AppendColumn(_("Last take"), wxLIST_FORMAT_LEFT, 190);
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
                              .MinSize(wxSize(260, 220))
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

wxWindow* ThievesPane::GetTimeline()
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
    const std::vector<ProgramHolds> programs =
        (m_byLauncher ? m_activity.HoldsByLauncher() : m_activity.Holds()).Programs();
    std::string selected;
    const long selectedRow = m_table->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (selectedRow >= 0 && static_cast<std::size_t>(selectedRow) < m_rows.size())
        selected = m_rows[selectedRow];

    m_filling = true;
    m_table->Freeze();
    while (m_table->GetItemCount() > static_cast<int>(programs.size()))
        m_table->DeleteItem(m_table->GetItemCount() - 1);
    m_rows.clear();
    for (std::size_t i = 0; i < programs.size(); ++i)
    {
        const ProgramHolds& program = programs[i];
        const long row = static_cast<long>(i);
        const wxString name = wxString::FromUTF8(program.module);
        if (row >= m_table->GetItemCount())
            m_table->InsertItem(row, name, m_colours.Image(program.module));
        else
            m_table->SetItem(row, kProgram, name, m_colours.Image(program.module));
        m_table->SetItem(row, kLauncher, program.launcher.empty() ? wxString(L"\u2014")
                                                                  : wxString::FromUTF8(program.launcher));
        m_table->SetItem(row, kTakes, wxString::Format(L"%lld", program.takes));
        m_table->SetItem(row, kUnpromptedTakes, wxString::Format(L"%lld", program.unprompted));
        m_table->SetItem(row, kBrief, wxString::Format(L"%lld", program.brief));
        m_table->SetItem(row, kShortest,
                         program.shortestMs ? Duration(*program.shortestMs) : wxString(L"\u2014"));
        m_table->SetItem(row, kLastTake, FullTime(program.lastTakeMs));
        // The same program stays selected wherever the order moves it.
        m_table->SetItemState(row, program.module == selected ? wxLIST_STATE_SELECTED : 0,
                              wxLIST_STATE_SELECTED);
        m_rows.push_back(program.module);
    }
    m_table->Thaw();
    m_filling = false;
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
    wxString chain = facts->process.module.empty() ? wxString(L"?") : facts->process.module;
    for (const ProcessLink& link : facts->parents)
        chain += L" \u2190 " + (link.module.empty() ? wxString(L"?") : link.module);
    wxString text = L"\nlatest take started by: " + chain;
    if (facts->end == ChainEnd::Reused)
        text += L" (then an id that was handed out again)";
    else if (facts->end == ChainEnd::Gone)
        text += L" (then a process that has ended)";
    text += L"\ncommand: " + facts->commandLine.value_or(_("not readable"));
    return text;
}

void ThievesPane::OnRowSelected(wxListEvent& event)
{
    const long row = event.GetIndex();
    if (m_filling || row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return;
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

namespace
{
// Written here rather than by the toolkit, whose Windows build has no
// libpng: an RGB PNG is a few chunks around the zlib stream of its rows.
void PutChunk(std::vector<char>& out, const char* type, const std::vector<unsigned char>& data)
{
    auto put32 = [&out](unsigned long value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>((value >> shift) & 0xFF));
    };
    put32(static_cast<unsigned long>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(crc32(0, reinterpret_cast<const Bytef*>(out.data() + start), uInt(out.size() - start)));
}

bool EncodePng(const wxImage& image, std::vector<char>& bytes)
{
    const int width = image.GetWidth(), height = image.GetHeight();
    if (!image.IsOk() || width <= 0 || height <= 0)
        return false;
    std::vector<unsigned char> rows;
    rows.reserve(size_t(height) * (size_t(width) * 3 + 1));
    const unsigned char* rgb = image.GetData();
    for (int y = 0; y < height; ++y)
    {
        rows.push_back(0);  // no filter
        rows.insert(rows.end(), rgb + size_t(y) * width * 3, rgb + size_t(y + 1) * width * 3);
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), uLong(rows.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);
    const unsigned char header[] = {
        static_cast<unsigned char>(width >> 24), static_cast<unsigned char>(width >> 16),
        static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width),
        static_cast<unsigned char>(height >> 24), static_cast<unsigned char>(height >> 16),
        static_cast<unsigned char>(height >> 8), static_cast<unsigned char>(height),
        8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, no filter, no interlace
    bytes.assign({'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'});
    PutChunk(bytes, "IHDR", std::vector<unsigned char>(header, header + sizeof header));
    PutChunk(bytes, "IDAT", packed);
    PutChunk(bytes, "IEND", {});
    return true;
}
}  // namespace

bool ThievesPane::SavePicture(const wxString& path, wxString& problem)
{
    EnsureBuilt();
    problem.clear();
    const wxSize size = m_timeline->GetClientSize();
    wxBitmap bitmap(std::max(size.x, 1), std::max(size.y, 1));
    {
        wxMemoryDC dc(bitmap);
        m_timeline->Draw(dc, bitmap.GetSize());
    }
    std::vector<char> bytes;
    if (!EncodePng(bitmap.ConvertToImage(), bytes))
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
