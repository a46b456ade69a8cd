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

void RunningMedian::Add(std::int64_t value)
{
    if (m_lower.empty() || value <= m_lower.top())
        m_lower.push(value);
    else
        m_upper.push(value);
    // The lower half holds the middle value, or one of the two.
    if (m_lower.size() > m_upper.size() + 1)
    {
        m_upper.push(m_lower.top());
        m_lower.pop();
    }
    else if (m_upper.size() > m_lower.size())
    {
        m_lower.push(m_upper.top());
        m_upper.pop();
    }
}

std::optional<std::int64_t> RunningMedian::Median() const
{
    if (m_lower.empty())
        return std::nullopt;
    if (m_lower.size() > m_upper.size())
        return m_lower.top();
    // Halves first: the sum of two long holds must not overflow.
    const std::int64_t a = m_lower.top(), b = m_upper.top();
    return a / 2 + b / 2 + (a % 2 + b % 2) / 2;
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
        if (holder.take && !holder.change.own && Counts(holder.change.whenMs))
        {
            const std::string& row = RowOf(holder.change.module);
            ProgramHolds& program = m_programs[row];
            if (held < m_briefMs)
                ++program.brief;
            if (!program.shortestMs || held < *program.shortestMs)
                program.shortestMs = held;
            if (!program.longestMs || held > *program.longestMs)
                program.longestMs = held;
            program.totalMs += held;
            m_medians[row].Add(held);
        }
        theftEnds = holder.take && holder.fromKnown && holder.from == change.window &&
                    (holder.change.unprompted == true || held < kReturnWithinMs);
    }
    if (!theftEnds && !change.own && Counts(change.whenMs))
    {
        ProgramHolds& program = m_programs[RowOf(change.module)];
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

void FocusHolds::AddAttempt(const std::string& module, std::int64_t whenMs)
{
    if (Counts(whenMs))
        ++m_programs[RowOf(module)].attempts;
}

const std::string& FocusHolds::RowOf(const std::string& module)
{
    static const std::string others = kOtherPrograms;
    if (m_programs.size() < kMaxPrograms || m_programs.count(module))
        return module;
    m_overflowed = true;
    return others;
}

std::vector<ProgramHolds> FocusHolds::Programs() const
{
    std::vector<ProgramHolds> programs;
    programs.reserve(m_programs.size());
    for (const auto& [module, holds] : m_programs)
    {
        programs.push_back(holds);
        programs.back().module = module;
        const auto median = m_medians.find(module);
        if (median != m_medians.end())
            programs.back().medianMs = median->second.Median();
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
