// The hold bookkeeping: per program takes, unprompted takes, brief and
// shortest holds, the theft's end that is no take of its own, and the
// history of holds the timeline draws.
#include <gtest/gtest.h>

#include "monitor/focus_holds.h"
#include "monitor/hold_history.h"

namespace
{
constexpr std::optional<bool> kAsked = false, kUnasked = true, kUnknown = std::nullopt;

FocusChange At(std::int64_t ms, WindowHandle window, const char* module,
               std::optional<bool> unprompted)
{
    return FocusChange{ms, window, module, unprompted};
}

ProgramHolds Find(const FocusHolds& holds, const std::string& module)
{
    for (const ProgramHolds& program : holds.Programs())
        if (program.module == module)
            return program;
    return ProgramHolds{};
}
}  // namespace

TEST(FocusHolds, TheFocusComingBackFromAnUnpromptedHoldIsNoTake)
{
    FocusHolds holds;
    holds.Follow(At(1000, 1, "editor", kAsked));
    holds.Follow(At(5000, 9, "updater", kUnasked));
    holds.Follow(At(5200, 1, "editor", kUnasked));  // the theft ends
    holds.Follow(At(9000, 9, "updater", kUnasked));
    holds.Follow(At(11500, 1, "editor", kAsked));   // ends again, however it came
    const ProgramHolds thief = Find(holds, "updater");
    EXPECT_EQ(2, thief.takes);
    EXPECT_EQ(2, thief.unprompted);
    EXPECT_EQ(1, thief.brief);
    EXPECT_EQ(200, thief.shortestMs.value_or(-1));
    EXPECT_EQ(9000, thief.lastTakeMs);
    const ProgramHolds victim = Find(holds, "editor");
    EXPECT_EQ(1, victim.takes);
    EXPECT_EQ(4000, victim.shortestMs.value_or(-1));  // its one hold that began with a take
}

TEST(FocusHolds, OnlyATakeFromThatVeryWindowEndsAsATheft)
{
    FocusHolds holds;
    holds.Follow(At(0, 1, "editor", kAsked));
    holds.Follow(At(100, 2, "mail", kAsked));      // asked for and held long: the way back is a take
    holds.Follow(At(5200, 1, "editor", kAsked));
    holds.Follow(At(5300, 9, "updater", kUnasked));
    holds.Follow(At(5400, 2, "mail", kAsked));      // not where it was taken from
    holds.Follow(At(5500, 8, "popup", kUnasked));
    holds.Follow(At(5600, 9, "updater", kUnasked)); // a thief taking from a thief
    holds.Follow(At(5700, 2, "mail", kAsked));      // taken from the popup, not from mail
    holds.Follow(At(5800, 3, "chat", kUnknown));    // unknown is not unprompted
    holds.Follow(At(5900, 2, "mail", kAsked));
    EXPECT_EQ(2, Find(holds, "editor").takes);
    EXPECT_EQ(3, Find(holds, "mail").takes);  // chat gave it back at once: no take
    EXPECT_EQ(2, Find(holds, "updater").takes);
    EXPECT_EQ(0, Find(holds, "chat").unprompted);
    // A take judged asked for (a theft while the user typed, misread) that
    // gives the focus back within seconds: the robbed editor took nothing.
    holds.Follow(At(9000, 1, "editor", kAsked));
    holds.Follow(At(9120, 4, "xterm", kAsked));
    holds.Follow(At(9300, 1, "editor", kUnasked));
    EXPECT_EQ(3, Find(holds, "editor").takes);
    EXPECT_EQ(0, Find(holds, "editor").unprompted);
}

// Holds are measured between changes that follow each other; a break (or a
// clock set back) leaves the hold unknown, and with it the theft's end.  A
// window that goes while it has the focus is named once more (as gone)
// before the focus moves on: no take, and the hold runs on.
TEST(FocusHolds, HoldsAreKnownOnlyBetweenChangesThatFollowEachOther)
{
    FocusHolds holds;
    EXPECT_FALSE(holds.Follow(At(1000, 1, "editor", kAsked)));
    EXPECT_EQ(300, holds.Follow(At(1300, 9, "updater", kUnasked)).value_or(-1));
    holds.Break();
    EXPECT_FALSE(holds.Follow(At(1400, 1, "editor", kAsked)));  // a take
    EXPECT_EQ(600, holds.Follow(At(2000, 8, "popup", kUnasked)).value_or(-1));
    EXPECT_EQ(700, holds.Follow(At(2700, 8, "Not a valid window", kUnasked)).value_or(-1));
    EXPECT_EQ(100, holds.Follow(At(2800, 1, "editor", kUnasked)).value_or(-1));  // the theft ends
    EXPECT_FALSE(holds.Follow(At(2500, 2, "mail", kAsked)));

    EXPECT_EQ(2, Find(holds, "editor").takes);
    EXPECT_EQ(0, Find(holds, "Not a valid window").takes);
    EXPECT_FALSE(Find(holds, "updater").shortestMs.has_value());
    EXPECT_EQ(800, Find(holds, "popup").shortestMs.value_or(-1));
    EXPECT_EQ(300, Find(holds, "editor").shortestMs.value_or(-1));
    EXPECT_EQ(1, Find(holds, "mail").takes);
}

// A hold across the loss of the compositor ends at the loss, however late
// the next change is seen; a loss before the current hold began, or one
// already taken into account, ends nothing.
TEST(FocusHolds, AHoldAcrossABackendLossEndsAtTheLoss)
{
    FocusHolds holds;
    holds.Follow(At(1000, 1, "editor", kAsked));
    holds.EndAt(1800);
    EXPECT_EQ(800, holds.Follow(At(31000, 2, "foot", kAsked)).value_or(-1));
    EXPECT_EQ(500, holds.Follow(At(31500, 1, "editor", kAsked)).value_or(-1));
    holds.EndAt(31200);
    EXPECT_EQ(400, holds.Follow(At(31900, 2, "foot", kAsked)).value_or(-1));
}

// The timeline's holds: each ends where the next begins, or is cut where
// the bookkeeping lost sight of it; only one seen from start to end can be
// told as a theft; the newest are kept.
TEST(HoldHistory, HoldsEndAtTheNextOrAreCutAndOnlyTheNewestAreKept)
{
    HoldHistory history(4);
    auto begin = [&](std::int64_t ms, bool take, std::optional<std::int64_t> previousHeldMs) {
        Hold hold;
        hold.startMs = ms;
        hold.take = take;
        hold.unprompted = true;
        return history.Begin(hold, previousHeldMs);
    };
    EXPECT_FALSE(begin(1000, true, std::nullopt));
    EXPECT_FALSE(begin(1500, true, 500)->IsEndedTheft());  // line 1: not seen to begin
    history.Cut(1700);
    EXPECT_EQ(1700, history[1].endMs.value_or(-1));
    EXPECT_FALSE(history[1].IsEndedTheft());        // seen to begin, not to end
    EXPECT_FALSE(begin(900, true, std::nullopt));  // nothing open to end
    // A clock set back ends nothing before it began.
    EXPECT_EQ(900, begin(800, true, std::nullopt)->endMs.value_or(-1));
    begin(5000, true, 4200);
    const std::optional<Hold> theft = begin(5100, false, 100);
    EXPECT_TRUE(theft->IsEndedTheft());
    EXPECT_EQ(5100, theft->endMs.value_or(-1));
    EXPECT_FALSE(begin(6000, true, 900)->IsEndedTheft());  // the way back is no take

    ASSERT_EQ(4u, history.Size());
    EXPECT_EQ(800, history[0].startMs);
    EXPECT_EQ(0u, history.FirstFrom(700));   // before the oldest kept
    EXPECT_EQ(1u, history.FirstFrom(5050));  // the hold of 5000 still holds then
    EXPECT_TRUE(history[3].IsOpen());
}

// Kept compactly, a hold still reads back as it was begun: its program and
// title survive the dropping of old holds, the titles' store giving back its
// front and the program names being gathered anew.
TEST(HoldHistory, KeptHoldsReadBackWholeAfterManyAreDropped)
{
    HoldHistory history(3);
    auto title = [](int i) { return "title " + std::to_string(i) + std::string(1000 + i, 'x'); };
    auto module = [](int i) { return "program-" + std::to_string(i % 5 == 0 ? i : i % 2); };
    for (int i = 0; i < 40; ++i)
    {
        Hold hold;
        hold.startMs = 1000 * i;
        hold.module = module(i);
        hold.title = title(i);
        hold.take = i % 3 == 0;
        if (i % 4)
            hold.unprompted = i % 4 == 1;
        history.Begin(hold, i % 2 ? std::optional<std::int64_t>(400) : std::nullopt);
    }
    ASSERT_EQ(3u, history.Size());
    for (std::size_t k = 0; k < 3; ++k)
    {
        const int i = 37 + static_cast<int>(k);
        const Hold hold = history[k];
        EXPECT_EQ(module(i), hold.module) << i;
        EXPECT_EQ(title(i), hold.title) << i;
        EXPECT_EQ(1000 * i, hold.startMs);
        EXPECT_EQ(i % 3 == 0, hold.take) << i;
        EXPECT_EQ(i % 4 ? std::optional<bool>(i % 4 == 1) : std::nullopt, hold.unprompted) << i;
        EXPECT_EQ(i % 2 == 1, hold.followed) << i;
    }
    EXPECT_EQ(37 * 1000 + 1000, history.EndMs(0).value_or(-1));  // cut where 38 began
    EXPECT_TRUE(history[0].cut);
    EXPECT_EQ(38 * 1000 + 400, history.EndMs(1).value_or(-1));
    EXPECT_FALSE(history[1].cut);
    EXPECT_FALSE(history.EndMs(2));
}
