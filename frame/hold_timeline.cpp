#include "frame/hold_timeline.h"

#include <algorithm>
#include <cmath>

#include <wx/arrstr.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/imaglist.h>
#include <wx/settings.h>

#include "monitor/hold_history.h"

namespace
{
constexpr int kSwatch = 12;
constexpr int kMinBarWidth = 3;

const wxColour kBackground(255, 255, 255);
const wxColour kLane(236, 236, 236);
const wxColour kInk(60, 60, 60);
const wxColour kUnprompted(214, 39, 40);

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

}  // namespace

wxString HoldTime(std::int64_t ms)
{
    return FromMs(ms).Format(L"%Y-%m-%d %H:%M:%S.%l");
}

wxString HoldDuration(std::int64_t ms)
{
    if (ms < 1000)
        return wxString::Format(L"%lld ms", static_cast<long long>(ms));
    if (ms < 60000)
        return wxString::Format(L"%.3f s", ms / 1000.0);
    return wxString::Format(L"%lld min %lld s", static_cast<long long>(ms / 60000),
                            static_cast<long long>(ms % 60000 / 1000));
}

namespace
{
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
    text += L"\nfrom " + HoldTime(hold.startMs);
    if (hold.IsOpen())
        text += L"\nstill holds the focus, for " +
                HoldDuration(std::max<std::int64_t>(0, nowMs - hold.startMs));
    else if (hold.cut)
        text += L"\nheld at least " + HoldDuration(*hold.endMs - hold.startMs) +
                L" (then the log was cleared or monitoring stopped)";
    else
        text += L"\nheld " + HoldDuration(*hold.endMs - hold.startMs);
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

// Long lines (a command line, a title) wrapped at spaces, so that the tip
// fits on the screen however long they are.
wxString Wrapped(const wxString& text, std::size_t width = 80)
{
    wxString out;
    for (const wxString& line : wxSplit(text, L'\n', L'\0'))
    {
        wxString rest = line;
        while (rest.length() > width)
        {
            std::size_t cut = rest.rfind(L' ', width);
            if (cut == wxString::npos || cut < width / 2)
                cut = width;
            out += rest.Left(cut) + L'\n';
            rest = rest.Mid(cut).Trim(false);
        }
        out += rest + L'\n';
    }
    out.RemoveLast();
    return out;
}
}  // namespace

HoldTimeline::HoldTimeline(wxWindow* parent, const HoldHistory& history, ProgramColours& colours,
                           Culprit culprit)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, kTimelineHeight), wxFULL_REPAINT_ON_RESIZE),
      m_history(history), m_colours(colours), m_culprit(std::move(culprit))
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const std::int64_t nowMs = wxDateTime::UNow().GetValue().GetValue();
    SetView(nowMs, nowMs);
    SetMinSize(wxSize(120, kTimelineHeight));
    Bind(wxEVT_PAINT, &HoldTimeline::OnPaint, this);
    Bind(wxEVT_MOTION, &HoldTimeline::OnMotion, this);
    Bind(wxEVT_ENTER_WINDOW, [this](wxMouseEvent& event) {
        m_pointedAt = true;
        event.Skip();
    });
    Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& event) {
        m_pointedAt = false;
        event.Skip();
    });
}

void HoldTimeline::SetView(std::int64_t endMs, std::int64_t nowMs)
{
    m_endMs = endMs;
    m_nowMs = nowMs;
}

void HoldTimeline::Mark(std::set<std::string> programs)
{
    if (programs == m_marked)
        return;
    m_marked = std::move(programs);
    Refresh();
}

void HoldTimeline::Draw(wxDC& dc, const wxSize& size)
{
    dc.SetBackground(wxBrush(kBackground));
    dc.Clear();
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).Smaller());
    dc.SetTextForeground(kInk);
    const int width = size.x;
    const std::int64_t startMs = m_endMs - kSpanMs;

    // The span as long as there is room for it beside the legend.
    const int legendX = DrawLegend(dc, width);
    for (const wxString& span :
         {SpanText(), FromMs(startMs).Format(L"%H:%M") + L" \u2013 " + FromMs(m_endMs).Format(L"%H:%M")})
        if (dc.GetTextExtent(span).x + 12 <= legendX)
        {
            dc.DrawText(span, 2, 1);
            break;
        }

    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(kLane));
    dc.DrawRectangle(0, kRows.laneTop, width, kRows.laneBottom - kRows.laneTop);

    const std::vector<Bar> bars = Bars(width);
    // Brief holds last, so that no longer neighbour covers them; marked
    // programs after the rest, in full colour, the rest pale beside them.
    for (int pass = 0; pass < 4; ++pass)
        for (const Bar& bar : bars)
        {
            const Hold hold = m_history.Sketch(bar.index);
            const bool marked = m_marked.count(hold.module) > 0;
            if (IsBrief(hold) != (pass % 2 == 1) || (marked || m_marked.empty()) != (pass >= 2))
                continue;
            wxColour colour = m_colours.Of(hold.module);
            if (!m_marked.empty() && !marked)
                colour = colour.ChangeLightness(165);
            dc.SetBrush(hold.cut ? wxBrush(colour, wxBRUSHSTYLE_BDIAGONAL_HATCH) : wxBrush(colour));
            dc.SetPen(IsUnpromptedTake(hold) ? wxPen(kUnprompted, 2)
                      : marked               ? wxPen(kInk, 2)
                                             : wxPen(colour.ChangeLightness(70)));
            dc.DrawRectangle(bar.x, kRows.laneTop, bar.width, kRows.laneBottom - kRows.laneTop);
        }
    dc.SetPen(*wxTRANSPARENT_PEN);
    for (const Bar& bar : bars)
    {
        const Hold hold = m_history.Sketch(bar.index);
        if (IsUnpromptedTake(hold))
        {
            dc.SetBrush(wxBrush(kUnprompted));
            Triangle(dc, bar.x, kRows.laneTop, kRows.laneTop - kRows.markTop);
        }
        if (IsBrief(hold))
        {
            dc.SetBrush(wxBrush(kInk));
            Triangle(dc, bar.x + bar.width / 2, kRows.laneBottom, kRows.laneBottom - kRows.briefBottom);
        }
    }
    // A refused try at the focus: a hollow diamond in its program's colour.
    for (const HoldHistory::Attempt& attempt : m_history.Attempts())
    {
        if (attempt.whenMs < startMs || attempt.whenMs > m_endMs)
            continue;
        const int x = X(attempt.whenMs, width);
        const int y = (kRows.markTop + kRows.laneTop) / 2;
        const wxPoint diamond[] = {{x, y - 5}, {x + 5, y}, {x, y + 5}, {x - 5, y}};
        dc.SetPen(wxPen(m_colours.Of(attempt.module).ChangeLightness(60), 2));
        dc.SetBrush(*wxWHITE_BRUSH);
        dc.DrawPolygon(4, diamond);
    }
    DrawAxis(dc, width, startMs);
}

wxString HoldTimeline::SpanText() const
{
    return FromMs(m_endMs - kSpanMs).Format(L"%Y-%m-%d %H:%M:%S") + L" \u2013 " +
           FromMs(m_endMs).Format(L"%H:%M:%S");
}

wxBitmap HoldTimeline::Picture()
{
    const wxSize size(std::max(GetClientSize().x, 1), kTimelineHeight);
    // The programs in view, in the order they first show, each hold counted
    // (also those drawn under another in the same pixel).
    std::vector<std::string> programs;
    const std::int64_t startMs = m_endMs - kSpanMs;
    for (std::size_t i = m_history.Size() ? m_history.FirstFrom(startMs) : 0;
         i < m_history.Size() && m_history.StartMs(i) <= m_endMs; ++i)
    {
        const std::string module = m_history.Sketch(i).module;
        if (std::find(programs.begin(), programs.end(), module) == programs.end())
            programs.push_back(module);
    }
    wxBitmap measure(1, 1);
    wxMemoryDC probe(measure);
    probe.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    const int line = probe.GetCharHeight() + 6;
    // The key flows in rows, each entry a swatch and the name.
    struct Entry
    {
        wxPoint at;
        std::string module;
    };
    std::vector<Entry> key;
    int x = 4, y = 0;
    for (const std::string& module : programs)
    {
        const int entryWidth = kSwatch + 6 + probe.GetTextExtent(wxString::FromUTF8(module)).x + 16;
        if (x > 4 && x + entryWidth > size.x)
            x = 4, y += line;
        key.push_back(Entry{wxPoint(x, y), module});
        x += entryWidth;
    }
    const int keyTop = line + size.y + 4;
    const int height = keyTop + (key.empty() ? line : y + line) + 2;
    wxBitmap bitmap(size.x, height);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(kBackground));
        dc.Clear();
        dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
        dc.SetTextForeground(kInk);
        dc.DrawText(_("Focus holds, ") + SpanText(), 4, 3);
        dc.SetDeviceOrigin(0, line);
        Draw(dc, size);
        dc.SetDeviceOrigin(0, keyTop);
        dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
        dc.SetTextForeground(kInk);
        if (key.empty())
            dc.DrawText(_("No holds in this span."), 4, 3);
        for (const Entry& entry : key)
        {
            dc.SetPen(wxPen(kInk));
            dc.SetBrush(wxBrush(m_colours.Of(entry.module)));
            dc.DrawRectangle(entry.at.x, entry.at.y + (line - kSwatch) / 2, kSwatch, kSwatch);
            dc.DrawText(wxString::FromUTF8(entry.module), entry.at.x + kSwatch + 6, entry.at.y + 3);
        }
        dc.SetDeviceOrigin(0, 0);
    }
    return bitmap;
}

std::optional<std::size_t> HoldTimeline::HoldAt(const wxPoint& point)
{
    if (point.y < kRows.markTop || point.y > kRows.briefBottom)
        return std::nullopt;
    std::optional<std::size_t> found;
    int narrowest = 0;
    for (const Bar& bar : Bars(GetClientSize().x))
        if (point.x >= bar.x - 1 && point.x <= bar.x + bar.width && (!found || bar.width < narrowest))
        {
            found = bar.index;
            narrowest = bar.width;
        }
    return found;
}

int HoldTimeline::X(std::int64_t ms, int width) const
{
    const double from = static_cast<double>(ms - (m_endMs - kSpanMs));
    return static_cast<int>(std::floor(from * width / kSpanMs));
}

// One bar per pixel where they begin: a burst of holds a few milliseconds
// long would otherwise be thousands of bars drawn over each other.  The one
// kept for a pixel is the one that matters most there (an unprompted take,
// then one under a second, then the latest), as wide as all of them.
std::vector<HoldTimeline::Bar> HoldTimeline::Bars(int width) const
{
    std::vector<Bar> bars;
    const std::int64_t startMs = m_endMs - kSpanMs;
    const std::size_t first = m_history.Size() ? m_history.FirstFrom(startMs) : 0;
    int keptRank = 0;
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
        const Bar bar{i, x0, std::max(x1 - x0, kMinBarWidth)};
        const bool samePixel = !bars.empty() && bars.back().x == x0;
        if (!samePixel && !(endMs - holdStartMs < HoldHistory::kBriefMs))
        {
            bars.push_back(bar);
            keptRank = -1;  // ranked only when another comes at its pixel
            continue;
        }
        const Hold sketch = m_history.Sketch(i);
        const int rank = (IsUnpromptedTake(sketch) ? 2 : 0) + (IsBrief(sketch) ? 1 : 0);
        if (!samePixel)
        {
            bars.push_back(bar);
            keptRank = rank;
            continue;
        }
        Bar& kept = bars.back();
        if (keptRank < 0)
        {
            const Hold keptSketch = m_history.Sketch(kept.index);
            keptRank = (IsUnpromptedTake(keptSketch) ? 2 : 0) + (IsBrief(keptSketch) ? 1 : 0);
        }
        const int right = std::max(kept.x + kept.width, bar.x + bar.width);
        if (rank >= keptRank)
        {
            kept.index = i;
            keptRank = rank;
        }
        kept.width = right - kept.x;
    }
    return bars;
}

int HoldTimeline::DrawLegend(wxDC& dc, int width)
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

void HoldTimeline::DrawAxis(wxDC& dc, int width, std::int64_t startMs)
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

void HoldTimeline::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    Draw(dc, GetClientSize());
}

void HoldTimeline::OnMotion(wxMouseEvent& event)
{
    // Motion means the pointer is here, whatever the enter event said.
    m_pointedAt = true;
    const std::optional<std::size_t> index = HoldAt(event.GetPosition());
    wxString tip;
    if (index)
    {
        const Hold hold = m_history[*index];
        tip = Wrapped(Describe(hold, m_nowMs) + m_culprit(hold.module));
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

