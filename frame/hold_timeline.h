#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <wx/bitmap.h>
#include <wx/window.h>

class HoldHistory;
class wxImageList;

// A time to the millisecond, and a hold's length, as the pane shows them.
wxString HoldTime(std::int64_t ms);
wxString HoldDuration(std::int64_t ms);

// One colour per program for this run: the table's swatch, the timeline's
// bars and the saved picture's key match.
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

// Ten minutes of holds, one bar each in its program's colour; unprompted
// takes marked above, holds under a second below, so that a theft of a few
// milliseconds still shows.  While the pointer is over it the view holds
// still, so that what one reads stays under the pointer.
class HoldTimeline : public wxWindow
{
public:
    static constexpr std::int64_t kSpanMs = 10 * 60 * 1000;
    // Text about who was behind a program's latest take, for the tooltip.
    using Culprit = std::function<wxString(const std::string& program)>;

    HoldTimeline(wxWindow* parent, const HoldHistory& history, ProgramColours& colours,
                 Culprit culprit);

    // The span shown ends at endMs; an open hold reaches to nowMs.
    void SetView(std::int64_t endMs, std::int64_t nowMs);
    std::int64_t NowMs() const { return m_nowMs; }
    std::int64_t EndMs() const { return m_endMs; }
    bool IsPointedAt() const { return m_pointedAt; }
    // These programs' bars stand out; none marked, all look alike.
    void Mark(std::set<std::string> programs);

    void Draw(wxDC& dc, const wxSize& size);
    // For saving: the time span above the timeline, and below it a key of
    // the colours of the programs in view.
    wxBitmap Picture();

    // The hold under the pointer, narrowest first: a brief one drawn over a
    // long one is the one pointed at.
    std::optional<std::size_t> HoldAt(const wxPoint& point);

private:
    struct Bar
    {
        std::size_t index;
        int x;
        int width;
    };

    int X(std::int64_t ms, int width) const;
    std::vector<Bar> Bars(int width) const;
    // Returns where it begins.
    int DrawLegend(wxDC& dc, int width);
    void DrawAxis(wxDC& dc, int width, std::int64_t startMs);
    wxString SpanText() const;
    void OnPaint(wxPaintEvent& event);
    void OnMotion(wxMouseEvent& event);

    const HoldHistory& m_history;
    ProgramColours& m_colours;
    Culprit m_culprit;
    std::set<std::string> m_marked;
    std::int64_t m_endMs = 0;
    std::int64_t m_nowMs = 0;
    bool m_pointedAt = false;
};
