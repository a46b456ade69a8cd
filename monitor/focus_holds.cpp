#include "monitor/focus_holds.h"

#include <algorithm>

std::optional<bool> IsUnprompted(const ChangeInput& input, std::uint64_t withinMs)
{
    if (input.idleMs)
        return *input.idleMs > withinMs;
    if (input.inputWithin)
        return !*input.inputWithin;
    return std::nullopt;
}

FocusHolds::FocusHolds(std::int64_t briefMs, std::int64_t fromMs, std::int64_t untilMs)
    : m_briefMs(briefMs), m_fromMs(fromMs), m_untilMs(untilMs)
{
}

std::optional<std::int64_t> FocusHolds::Follow(const FocusChange& change)
{
    std::optional<std::int64_t> held;
    // A clock set back makes the difference meaningless.
    const std::int64_t endMs = m_endAtMs ? std::min(*m_endAtMs, change.whenMs) : change.whenMs;
    if (m_current && !m_broken && endMs >= m_lastWhenMs)
        held = endMs - m_lastWhenMs;
    m_endAtMs.reset();
    Add(change, held);
    return held;
}

void FocusHolds::EndAt(std::int64_t whenMs)
{
    // A loss before the current hold began ended an earlier one.
    if (m_current && whenMs >= m_lastWhenMs)
        m_endAtMs = whenMs;
}

void FocusHolds::Add(const FocusChange& change, std::optional<std::int64_t> previousHeldMs)
{
    m_lastWhenMs = change.whenMs;
    m_broken = false;
    if (m_current && previousHeldMs && change.window == m_current->change.window)
    {
        m_current->heldBefore += *previousHeldMs;
        return;
    }
    bool theftEnds = false;
    if (m_current && previousHeldMs)
    {
        const Holder& holder = *m_current;
        const std::int64_t held = holder.heldBefore + *previousHeldMs;
        if (holder.take && Counts(holder.change.whenMs))
        {
            ProgramHolds& program = m_programs[holder.change.module];
            if (held < m_briefMs)
                ++program.brief;
            if (!program.shortestMs || held < *program.shortestMs)
                program.shortestMs = held;
        }
        theftEnds = holder.take && holder.fromKnown && holder.from == change.window &&
                    (holder.change.unprompted == true || held < kReturnWithinMs);
    }
    if (!theftEnds && Counts(change.whenMs))
    {
        ProgramHolds& program = m_programs[change.module];
        ++program.takes;
        if (change.unprompted == true)
            ++program.unprompted;
        program.lastTakeMs = std::max(program.lastTakeMs, change.whenMs);
        if (!change.launcher.empty())
            program.launcher = change.launcher;
    }
    Holder next;
    next.change = change;
    next.take = !theftEnds;
    next.fromKnown = m_current.has_value() && previousHeldMs.has_value();
    next.from = m_current ? m_current->change.window : 0;
    m_current = std::move(next);
}

std::vector<ProgramHolds> FocusHolds::Programs() const
{
    std::vector<ProgramHolds> programs;
    programs.reserve(m_programs.size());
    for (const auto& [module, holds] : m_programs)
    {
        programs.push_back(holds);
        programs.back().module = module;
    }
    std::sort(programs.begin(), programs.end(), [](const ProgramHolds& a, const ProgramHolds& b) {
        if (a.unprompted != b.unprompted)
            return a.unprompted > b.unprompted;
        if (a.takes != b.takes)
            return a.takes > b.takes;
        return a.module < b.module;
    });
    return programs;
}
