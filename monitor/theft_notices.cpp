#include "monitor/theft_notices.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace
{
// Names beyond these make a notice too long to read at a glance.
constexpr std::size_t kNamesShown = 3;

std::string Times(long long count)
{
    return count == 1 ? std::string("once") : std::to_string(count) + " times";
}

// The window's title, quoted, so that the user knows which window it was.
std::string Titled(const std::string& title)
{
    return title.empty() ? std::string() : ", \u201c" + title + "\u201d";
}
}  // namespace

void TheftNotices::Add(const std::string& module, std::int64_t heldMs, const std::string& title,
                       const std::string& at)
{
    if (m_waiting.empty())
        m_firstAt = at;
    Waiting& waiting = m_waiting[module];
    waiting.title = title;
    if (waiting.count == 0 || heldMs < waiting.shortestMs)
        waiting.shortestMs = heldMs;
    if (waiting.count == 0)
        waiting.order = m_waiting.size();
    ++waiting.count;
    ++m_thefts;
}

std::string TheftNotices::Since() const
{
    return m_firstAt.empty() ? std::string() : " since " + m_firstAt;
}

std::optional<std::int64_t> TheftNotices::DueMs() const
{
    if (m_waiting.empty())
        return std::nullopt;
    return m_lastShownMs ? *m_lastShownMs + m_gapMs : std::numeric_limits<std::int64_t>::min();
}

std::optional<std::string> TheftNotices::Take(std::int64_t nowMs)
{
    if (m_waiting.empty())
        return std::nullopt;
    // A clock set back would otherwise hold every notice back for as long.
    if (m_lastShownMs && nowMs >= *m_lastShownMs && nowMs < *m_lastShownMs + m_gapMs)
        return std::nullopt;

    std::vector<std::pair<std::string, Waiting>> programs(m_waiting.begin(), m_waiting.end());
    std::sort(programs.begin(), programs.end(), [](const auto& a, const auto& b) {
        if (a.second.count != b.second.count)
            return a.second.count > b.second.count;
        return a.second.order < b.second.order;
    });
    std::string text;
    if (programs.size() == 1)
    {
        const auto& [module, waiting] = programs.front();
        text = module + " took the focus";
        if (waiting.count > 1)
            text += " " + Times(waiting.count) + Since() + Titled(waiting.title) + "; shortest hold ";
        else
            text += (m_firstAt.empty() ? std::string() : " at " + m_firstAt) + Titled(waiting.title) +
                    "; held ";
        text += std::to_string(waiting.shortestMs) + " ms";
    }
    else
    {
        text = std::to_string(programs.size()) + " programs took the focus " + Times(m_thefts) +
               Since() + ";";
        for (std::size_t i = 0; i < programs.size() && i < kNamesShown; ++i)
            text += (i ? ", " : " ") + programs[i].first + " " +
                    std::to_string(programs[i].second.count);
        if (programs.size() > kNamesShown)
            text += ", \u2026";
    }
    m_waiting.clear();
    m_thefts = 0;
    m_firstAt.clear();
    m_lastShownMs = nowMs;
    return text;
}
