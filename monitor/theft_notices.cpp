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
    if (waiting.count == 0 && waiting.attempts == 0)
        waiting.order = m_waiting.size();
    waiting.title = title;
    if (waiting.count == 0 || heldMs < waiting.shortestMs)
        waiting.shortestMs = heldMs;
    ++waiting.count;
    ++m_thefts;
}

void TheftNotices::AddAttempt(const std::string& module, const std::string& at)
{
    if (m_waiting.empty())
        m_firstAt = at;
    Waiting& waiting = m_waiting[module];
    if (waiting.count == 0 && waiting.attempts == 0)
        waiting.order = m_waiting.size();
    ++waiting.attempts;
    ++m_attempts;
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

    // Thefts first, most first; then those that only tried.
    std::vector<std::pair<std::string, Waiting>> programs;
    std::vector<std::pair<std::string, Waiting>> refused;
    for (const auto& entry : m_waiting)
        (entry.second.count ? programs : refused).push_back(entry);
    const auto byCount = [](const auto& a, const auto& b) {
        const long long countA = a.second.count ? a.second.count : a.second.attempts;
        const long long countB = b.second.count ? b.second.count : b.second.attempts;
        if (countA != countB)
            return countA > countB;
        return a.second.order < b.second.order;
    };
    std::sort(programs.begin(), programs.end(), byCount);
    std::sort(refused.begin(), refused.end(), byCount);
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
    else if (programs.size() > 1)
    {
        text = std::to_string(programs.size()) + " programs took the focus " + Times(m_thefts) +
               Since() + ";";
        for (std::size_t i = 0; i < programs.size() && i < kNamesShown; ++i)
            text += (i ? ", " : " ") + programs[i].first + " " +
                    std::to_string(programs[i].second.count);
        if (programs.size() > kNamesShown)
            text += ", \u2026";
    }
    if (m_attempts > 0 && !text.empty())
        text += "; refused " + Times(m_attempts) + " more";
    else if (m_attempts > 0 && refused.size() == 1)
    {
        const auto& [module, waiting] = refused.front();
        text = module + " asked for the focus" +
               (waiting.attempts > 1 ? " " + Times(waiting.attempts) + Since()
                                     : m_firstAt.empty() ? std::string() : " at " + m_firstAt) +
               " and was refused";
    }
    else if (m_attempts > 0)
    {
        text = std::to_string(refused.size()) + " programs asked for the focus " + Times(m_attempts) +
               Since() + " and were refused;";
        for (std::size_t i = 0; i < refused.size() && i < kNamesShown; ++i)
            text += (i ? ", " : " ") + refused[i].first + " " + std::to_string(refused[i].second.attempts);
        if (refused.size() > kNamesShown)
            text += ", \u2026";
    }
    m_waiting.clear();
    m_thefts = 0;
    m_attempts = 0;
    m_firstAt.clear();
    m_lastShownMs = nowMs;
    return text;
}
