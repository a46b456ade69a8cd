#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// One spell of a window holding the focus, as the timeline draws it.
struct Hold
{
    std::int64_t startMs = 0;  // milliseconds since 1970-01-01 UTC
    std::string module;        // UTF-8, as FocusHolds names programs
    std::string title;         // UTF-8, as logged
    // The change that began it counted as a take (not the focus coming back
    // after a theft), and whether it came without the user's input.
    bool take = false;
    std::optional<bool> unprompted;
    // The change followed the hold before it directly, so it was seen to
    // happen (not the first line, nor one after monitoring was off).
    bool followed = false;
    // Unset while the window still holds the focus.
    std::optional<std::int64_t> endMs;
    // Ended by the bookkeeping losing sight of it (monitoring off, the log
    // cleared): it lasted at least until endMs.
    bool cut = false;

    bool IsOpen() const { return !endMs; }
    // An unprompted take seen from its beginning to its end.
    bool IsEndedTheft() const { return take && unprompted == true && followed && endMs && !cut; }
};

// The holds of this run, oldest first, for the thieves pane's timeline.
// Keeps the newest `capacity` only, so that a run of weeks costs no more
// memory than one of an hour; and keeps them compact (about 40 bytes and
// the title's), since one is kept for every logged line.
class HoldHistory
{
public:
    static constexpr std::size_t kDefaultCapacity = 20000;
    static constexpr std::int64_t kBriefMs = 1000;

    explicit HoldHistory(std::size_t capacity = kDefaultCapacity);

    // A logged change begins `next`.  The hold before it ended after
    // `previousHeldMs` where that is known (and `next` followed it), else
    // where `next` begins, but cut.  Returns the hold that ended, if any.
    std::optional<Hold> Begin(Hold next, std::optional<std::int64_t> previousHeldMs);
    // The bookkeeping lost sight of the current hold at whenMs.
    void Cut(std::int64_t whenMs);

    // Tries at the focus the desktop refused, oldest first; the newest
    // kMaxAttempts only.
    struct Attempt
    {
        std::int64_t whenMs;
        std::string module;
    };
    static constexpr std::size_t kMaxAttempts = 2000;
    void AddAttempt(const std::string& module, std::int64_t whenMs);
    const std::deque<Attempt>& Attempts() const { return m_attempts; }

    std::size_t Size() const { return m_holds.size(); }
    // The whole hold, made up from what is kept: for the few that are shown.
    Hold operator[](std::size_t i) const;
    // The same without its title: what a picture of many needs.
    Hold Sketch(std::size_t i) const;
    // Its span alone, for walking many.
    std::int64_t StartMs(std::size_t i) const { return m_holds[i].startMs; }
    std::optional<std::int64_t> EndMs(std::size_t i) const;
    // The first hold that may still show at or after whenMs: the one that
    // holds the focus then, or the first to begin after it.
    std::size_t FirstFrom(std::int64_t whenMs) const;
    // Changes with every hold begun or ended: a view redraws when it moves.
    std::uint64_t Generation() const { return m_generation; }

private:
    struct Kept
    {
        std::int64_t startMs;
        std::int64_t endMs;     // kOpen while it holds
        std::uint64_t titleAt;  // in m_titles, counted from the first title ever kept
        std::uint32_t titleSize;
        std::uint32_t module;   // in m_modules
        std::uint8_t flags;
    };
    static constexpr std::int64_t kOpen = std::numeric_limits<std::int64_t>::min();

    void End(Kept& hold, std::int64_t endMs, bool cut);
    std::uint32_t ModuleId(const std::string& module);
    void DropOldest();

    std::size_t m_capacity;
    std::deque<Kept> m_holds;
    // The titles back to back, oldest first; the front is given back once
    // the dropped holds' part is the larger half.
    std::string m_titles;
    std::uint64_t m_titlesDropped = 0;
    // Program names are few and repeat: each is kept once.
    std::vector<std::string> m_modules;
    std::unordered_map<std::string, std::uint32_t> m_moduleIds;
    std::uint64_t m_generation = 0;
    std::deque<Attempt> m_attempts;
};
