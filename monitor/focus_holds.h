#pragma once

// The words Corvalin counts in, here, in the pane, the report and README:
//   take        a change of the focus to a window, counted for the program
//               whose window got it (not the focus coming back at a theft's end,
//               nor one of Corvalin's own windows).
//   hold        the time a window kept the focus: from its change to the next.
//   unprompted  a take with no key or pointer input for that window just before
//               it (PromptedWithinMs; input into the window losing the focus
//               does not count).
//   theft       an unprompted take; it ends when the focus goes back to the
//               window it was taken from.
//   brief       a hold shorter than a second (--brief).
//   launcher    the process that started the window's program, as named from
//               its chain of parents.
//   told        a theft said in a notification once it ended.
//   cut         a hold whose end went unseen (monitoring off, the log cleared,
//               the compositor lost): it lasted at least as long as shown.

#include <cstdint>
#include <limits>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "platform/window_tracking.h"

// One logged change of the focus, as the hold bookkeeping needs it.
struct FocusChange
{
    std::int64_t whenMs = 0;  // milliseconds since 1970-01-01 UTC
    WindowHandle window = 0;
    std::string module;       // UTF-8
    // Whether the change came without the user's input; unset where the
    // platform could not tell.
    std::optional<bool> unprompted;
    // Who launched the window, where known (UTF-8; empty for nobody known).
    std::string launcher;
    // One of Corvalin's own windows: the user's doing, never counted as a take.
    bool own = false;
};

// A change is unprompted when the user gave no input in the withinMs before
// it; unknown where the platform cannot tell.  Input into the window that
// loses the focus counts too, so a theft right after a key press looks
// asked for.
std::optional<bool> IsUnprompted(const ChangeInput& input, std::uint64_t withinMs);

// What one program did with the focus.
struct ProgramHolds
{
    std::string module;
    long long takes = 0;
    long long unprompted = 0;
    // Tries at the focus the desktop refused.
    long long attempts = 0;
    // Holds of a known length shorter than the brief threshold.
    long long brief = 0;
    std::optional<std::int64_t> shortestMs;
    std::optional<std::int64_t> medianMs;
    std::optional<std::int64_t> longestMs;
    // All its holds of a known length together.
    std::int64_t totalMs = 0;
    std::int64_t lastTakeMs = 0;
    // The launcher of its latest take that named one.
    std::string launcher;
};

// The middle of a growing set of lengths, kept as two heaps, so that adding
// one costs a logarithm and asking nothing: the pane asks after every change.
class RunningMedian
{
public:
    void Add(std::int64_t value);
    // The mean of the two middle values of an even count, rounded down.
    std::optional<std::int64_t> Median() const;

private:
    std::priority_queue<std::int64_t> m_lower;
    std::priority_queue<std::int64_t, std::vector<std::int64_t>, std::greater<>> m_upper;
};

// How long each window held the focus, and per program how often it took
// the focus, unasked or not, and for how long.  Fed every logged change in
// order; the frame's monitor and the record report share it.
//
// A hold is counted for the program whose take began it.  The focus going
// back to the window it was taken from, right after an unprompted hold or
// within kReturnWithinMs of any take, is the theft ending: no take of its
// own, and the hold after it counts for nobody, so the robbed window is
// never blamed, however the take was judged.  The same window named again right away (logged once more as gone)
// is no change: its hold goes on.
class FocusHolds
{
public:
    static constexpr std::int64_t kDefaultBriefMs = 1000;
    static constexpr std::int64_t kReturnWithinMs = 5000;
    // Rows kept; programs beyond them count together under kOtherPrograms,
    // so that ever new names (a churning app id, a record of millions of
    // modules) cost no memory each.
    static constexpr std::size_t kMaxPrograms = 10000;
    static constexpr const char* kOtherPrograms = "(other programs)";

    // Takes outside [fromMs, untilMs) go on through the bookkeeping but are
    // not counted.
    explicit FocusHolds(std::int64_t briefMs = kDefaultBriefMs,
                        std::int64_t fromMs = std::numeric_limits<std::int64_t>::min(),
                        std::int64_t untilMs = std::numeric_limits<std::int64_t>::max());

    // The program's way: the previous window held the focus from its change
    // to this one, unless Break was called in between.  Returns that hold,
    // or nothing where it is not known.
    std::optional<std::int64_t> Follow(const FocusChange& change);
    // Something unseen may have happened since the last change (monitoring
    // off, the log cleared): the current hold's length is lost.
    void Break() { m_broken = true; }
    // The current window was lost sight of at whenMs (its compositor went
    // away): its hold ends there, not at the next change seen.
    void EndAt(std::int64_t whenMs);

    // The record's way: the previous window's hold as the record tells it;
    // nothing where unknown, which also means that this change does not
    // follow the previous one directly.
    void Add(const FocusChange& change, std::optional<std::int64_t> previousHeldMs);

    // A try at the focus the desktop refused, by the program: counted, no
    // change of the holds.
    void AddAttempt(const std::string& module, std::int64_t whenMs);

    // Whether the last change counted as a take: not the focus coming back
    // at the end of a theft.
    // Corvalin's own windows are none, though the focus going back from one
    // ends it as it ends a theft.
    bool CurrentIsTake() const { return m_current && m_current->take && !m_current->change.own; }

    // Most unprompted takes first, then most takes, then by name.
    std::vector<ProgramHolds> Programs() const;
    // Whether some programs were counted under kOtherPrograms.
    bool Overflowed() const { return m_overflowed; }

private:
    struct Holder
    {
        FocusChange change;
        bool take = false;         // counted as a take
        bool fromKnown = false;    // followed `from` directly
        WindowHandle from = 0;
        std::int64_t heldBefore = 0;  // up to the window's last naming
    };

    bool Counts(std::int64_t whenMs) const { return whenMs >= m_fromMs && whenMs < m_untilMs; }
    // The row a program counts in: its own, or the others' once rows run out.
    const std::string& RowOf(const std::string& module);

    std::int64_t m_briefMs;
    std::int64_t m_fromMs;
    std::int64_t m_untilMs;
    std::optional<Holder> m_current;
    std::int64_t m_lastWhenMs = 0;  // of the last change fed, continuing or not
    bool m_broken = false;
    std::optional<std::int64_t> m_endAtMs;
    std::map<std::string, ProgramHolds> m_programs;
    std::map<std::string, RunningMedian> m_medians;
    bool m_overflowed = false;
};
