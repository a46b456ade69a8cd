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
    EXPECT_EQ(0, victim.unprompted);
    EXPECT_EQ(1000, victim.lastTakeMs);
    // Its one hold that began with a take lasted 4 s.
    EXPECT_EQ(0, victim.brief);
    EXPECT_EQ(4000, victim.shortestMs.value_or(-1));
}

TEST(FocusHolds, OnlyAnUnpromptedTakeFromThatVeryWindowEndsAsATheft)
{
    FocusHolds holds;
    holds.Follow(At(0, 1, "editor", kAsked));
    holds.Follow(At(100, 2, "mail", kAsked));      // asked for: the way back is a take
    holds.Follow(At(200, 1, "editor", kAsked));
    holds.Follow(At(300, 9, "updater", kUnasked));
    holds.Follow(At(400, 2, "mail", kAsked));      // not where it was taken from
    holds.Follow(At(500, 8, "popup", kUnasked));
    holds.Follow(At(600, 9, "updater", kUnasked)); // a thief taking from a thief
    holds.Follow(At(700, 2, "mail", kAsked));      // taken from the popup, not from mail
    holds.Follow(At(800, 3, "chat", kUnknown));    // unknown is not unprompted
    holds.Follow(At(900, 2, "mail", kAsked));
    EXPECT_EQ(2, Find(holds, "editor").takes);
    EXPECT_EQ(4, Find(holds, "mail").takes);
    EXPECT_EQ(2, Find(holds, "updater").takes);
    EXPECT_EQ(1, Find(holds, "chat").takes);
    EXPECT_EQ(0, Find(holds, "chat").unprompted);
}

// Holds are measured between changes that follow each other; a break (or a
// clock set back) leaves the hold unknown, and with it the theft's end.
TEST(FocusHolds, HoldsAreKnownOnlyBetweenChangesThatFollowEachOther)
{
    FocusHolds holds;
    EXPECT_FALSE(holds.Follow(At(1000, 1, "editor", kAsked)));
    EXPECT_EQ(300, holds.Follow(At(1300, 9, "updater", kUnasked)).value_or(-1));
    holds.Break();
    EXPECT_FALSE(holds.Follow(At(1400, 1, "editor", kAsked)));
    EXPECT_EQ(600, holds.Follow(At(2000, 2, "mail", kAsked)).value_or(-1));
    EXPECT_FALSE(holds.Follow(At(1900, 1, "editor", kAsked)));

    EXPECT_EQ(3, Find(holds, "editor").takes);  // the return after the break counts
    EXPECT_FALSE(Find(holds, "updater").shortestMs.has_value());
    EXPECT_EQ(0, Find(holds, "updater").brief);
    EXPECT_EQ(300, Find(holds, "editor").shortestMs.value_or(-1));  // of 300 and 600
    EXPECT_EQ(1900, Find(holds, "editor").lastTakeMs);

    // The record's way: what it says of the hold is taken as it stands.
    FocusHolds told(500);
    told.Add(At(0, 1, "editor", kAsked), std::nullopt);
    told.Add(At(10, 9, "updater", kUnasked), 499);
    told.Add(At(20, 1, "editor", kAsked), 500);
    told.Add(At(30, 9, "updater", kUnasked), std::nullopt);
    told.Add(At(40, 1, "editor", kAsked), 7);  // not known to follow the editor: a take
    EXPECT_EQ(1, Find(told, "editor").brief);   // 499 < 500, the threshold given
    EXPECT_EQ(2, Find(told, "editor").takes);
    EXPECT_EQ(1, Find(told, "updater").brief);
    EXPECT_EQ(7, Find(told, "updater").shortestMs.value_or(-1));
}

// Outside the range nothing is counted, but the order of changes still
// holds: a theft begun before the range ends inside it as no take.
TEST(FocusHolds, ARangeCountsOnlyItsTakesAndTheirHolds)
{
    FocusHolds holds(FocusHolds::kDefaultBriefMs, 1000, 2000);
    holds.Follow(At(0, 1, "editor", kAsked));
    holds.Follow(At(900, 9, "updater", kUnasked));
    holds.Follow(At(1000, 1, "editor", kAsked));
    holds.Follow(At(1500, 9, "updater", kUnasked));
    holds.Follow(At(2000, 2, "mail", kAsked));
    const std::vector<ProgramHolds> programs = holds.Programs();
    ASSERT_EQ(1u, programs.size());
    EXPECT_EQ("updater", programs[0].module);
    EXPECT_EQ(1, programs[0].takes);
    EXPECT_EQ(500, programs[0].shortestMs.value_or(-1));
}

TEST(FocusHolds, ProgramsComeMostUnpromptedFirstThenByTakesThenByName)
{
    FocusHolds holds;
    std::int64_t t = 0;
    auto take = [&](WindowHandle window, const char* module, std::optional<bool> unprompted) {
        holds.Follow(At(t += 10, window, module, unprompted));
    };
    take(1, "b-shell", kAsked);
    take(2, "a-shell", kAsked);
    take(1, "b-shell", kAsked);
    take(3, "zz-thief", kUnasked);
    take(4, "mail", kAsked);
    take(5, "aa-thief", kUnasked);
    take(4, "mail", kAsked);
    std::vector<std::string> order;
    for (const ProgramHolds& program : holds.Programs())
        order.push_back(program.module);
    EXPECT_EQ((std::vector<std::string>{"aa-thief", "zz-thief", "b-shell", "a-shell", "mail"}), order);
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
