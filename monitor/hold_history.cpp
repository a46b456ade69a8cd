#include "monitor/hold_history.h"

#include <algorithm>

HoldHistory::HoldHistory(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1))
{
}

void HoldHistory::End(Hold& hold, std::int64_t endMs, bool cut)
{
    // A clock set back must not make a hold end before it began.
    hold.endMs = std::max(endMs, hold.startMs);
    hold.cut = cut;
}

std::optional<Hold> HoldHistory::Begin(Hold next, std::optional<std::int64_t> previousHeldMs)
{
    std::optional<Hold> ended;
    if (!m_holds.empty() && m_holds.back().IsOpen())
    {
        Hold& previous = m_holds.back();
        if (previousHeldMs)
            End(previous, previous.startMs + *previousHeldMs, false);
        else
            End(previous, next.startMs, true);
        ended = previous;
    }
    next.followed = previousHeldMs.has_value();
    next.endMs.reset();
    next.cut = false;
    if (m_holds.size() == m_capacity)
        m_holds.pop_front();
    m_holds.push_back(std::move(next));
    ++m_generation;
    return ended;
}

void HoldHistory::Cut(std::int64_t whenMs)
{
    if (m_holds.empty() || !m_holds.back().IsOpen())
        return;
    End(m_holds.back(), whenMs, true);
    ++m_generation;
}

std::size_t HoldHistory::FirstFrom(std::int64_t whenMs) const
{
    // Holds follow each other, so starts only grow, but for a clock set back.
    const auto after = std::partition_point(m_holds.begin(), m_holds.end(),
                                            [&](const Hold& hold) { return hold.startMs <= whenMs; });
    std::size_t index = static_cast<std::size_t>(after - m_holds.begin());
    if (index > 0)
        --index;
    return index;
}
