#include "monitor/hold_history.h"

#include <algorithm>

namespace
{
enum : std::uint8_t
{
    kTake = 1,
    kUnpromptedKnown = 2,
    kUnprompted = 4,
    kFollowed = 8,
    kCut = 16,
};
}  // namespace

HoldHistory::HoldHistory(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1))
{
}

void HoldHistory::End(Kept& hold, std::int64_t endMs, bool cut)
{
    // A clock set back must not make a hold end before it began.
    hold.endMs = std::max(endMs, hold.startMs);
    if (cut)
        hold.flags |= kCut;
}

std::uint32_t HoldHistory::ModuleId(const std::string& module)
{
    const auto found = m_moduleIds.find(module);
    if (found != m_moduleIds.end())
        return found->second;
    // Names only of holds long dropped would pile up over a long run with
    // ever new programs: past the holds' own number, the names are gathered
    // anew from the holds kept.
    if (m_modules.size() >= m_capacity)
    {
        std::vector<std::string> modules;
        std::unordered_map<std::string, std::uint32_t> ids;
        for (Kept& hold : m_holds)
        {
            const std::string& name = m_modules[hold.module];
            const auto [it, added] = ids.try_emplace(name, static_cast<std::uint32_t>(modules.size()));
            if (added)
                modules.push_back(name);
            hold.module = it->second;
        }
        m_modules = std::move(modules);
        m_moduleIds = std::move(ids);
        const auto again = m_moduleIds.find(module);
        if (again != m_moduleIds.end())
            return again->second;
    }
    const auto id = static_cast<std::uint32_t>(m_modules.size());
    m_modules.push_back(module);
    m_moduleIds.emplace(module, id);
    return id;
}

void HoldHistory::DropOldest()
{
    m_holds.pop_front();
    const std::uint64_t live = m_holds.empty() ? m_titlesDropped + m_titles.size() : m_holds.front().titleAt;
    const std::uint64_t dead = live - m_titlesDropped;
    if (dead >= 4096 && dead * 2 >= m_titles.size())
    {
        m_titles.erase(0, dead);
        m_titlesDropped += dead;
    }
}

std::optional<Hold> HoldHistory::Begin(Hold next, std::optional<std::int64_t> previousHeldMs)
{
    std::optional<Hold> ended;
    if (!m_holds.empty() && m_holds.back().endMs == kOpen)
    {
        Kept& previous = m_holds.back();
        if (previousHeldMs)
            End(previous, previous.startMs + *previousHeldMs, false);
        else
            End(previous, next.startMs, true);
        ended = (*this)[m_holds.size() - 1];
    }
    if (m_holds.size() == m_capacity)
        DropOldest();
    Kept kept{};
    kept.startMs = next.startMs;
    kept.endMs = kOpen;
    kept.titleAt = m_titlesDropped + m_titles.size();
    kept.titleSize = static_cast<std::uint32_t>(next.title.size());
    kept.module = ModuleId(next.module);
    kept.flags = (next.take ? kTake : 0) | (next.unprompted ? kUnpromptedKnown : 0) |
                 (next.unprompted.value_or(false) ? kUnprompted : 0) |
                 (previousHeldMs ? kFollowed : 0);
    m_titles.append(next.title, 0, kept.titleSize);
    m_holds.push_back(kept);
    ++m_generation;
    return ended;
}

void HoldHistory::Cut(std::int64_t whenMs)
{
    if (m_holds.empty() || m_holds.back().endMs != kOpen)
        return;
    End(m_holds.back(), whenMs, true);
    ++m_generation;
}

Hold HoldHistory::operator[](std::size_t i) const
{
    Hold hold = Sketch(i);
    const Kept& kept = m_holds[i];
    hold.title = m_titles.substr(kept.titleAt - m_titlesDropped, kept.titleSize);
    return hold;
}

Hold HoldHistory::Sketch(std::size_t i) const
{
    const Kept& kept = m_holds[i];
    Hold hold;
    hold.startMs = kept.startMs;
    hold.module = m_modules[kept.module];
    hold.take = kept.flags & kTake;
    if (kept.flags & kUnpromptedKnown)
        hold.unprompted = (kept.flags & kUnprompted) != 0;
    hold.followed = kept.flags & kFollowed;
    hold.endMs = EndMs(i);
    hold.cut = kept.flags & kCut;
    return hold;
}

std::optional<std::int64_t> HoldHistory::EndMs(std::size_t i) const
{
    if (m_holds[i].endMs == kOpen)
        return std::nullopt;
    return m_holds[i].endMs;
}

std::size_t HoldHistory::FirstFrom(std::int64_t whenMs) const
{
    // Holds follow each other, so starts only grow, but for a clock set back.
    const auto after = std::partition_point(m_holds.begin(), m_holds.end(),
                                            [&](const Kept& hold) { return hold.startMs <= whenMs; });
    std::size_t index = static_cast<std::size_t>(after - m_holds.begin());
    if (index > 0)
        --index;
    return index;
}

void HoldHistory::AddAttempt(const std::string& module, std::int64_t whenMs)
{
    if (m_attempts.size() >= kMaxAttempts)
        m_attempts.pop_front();
    m_attempts.push_back(Attempt{whenMs, module});
    ++m_generation;
}
