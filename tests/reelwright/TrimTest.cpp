// The trim without a screen: what the cuts may do, the nudges, an edit and its cancel.
#include <reelwright/LXTrim.h>

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

// A 20-second item keeping all of it.
LXMediaInfoPtr item(double seconds = 20.0) {
    auto i = std::make_shared<LXMediaInfo>();
    i->setTotalDuration(seconds);
    i->setKeptRange(LXKeptRange::fromSeconds(0, seconds));
    return i;
}

} // namespace

TEST(KeptRange, IsOrderedWholeMicrosecondsAndItsPlaceIsDerived) {
    EXPECT_EQ(LXKeptRange::toUs(1.0000004), 1'000'000);
    EXPECT_EQ(LXKeptRange::toUs(2.34), 2'340'000) << "to the nearest microsecond, not truncated";
    for (double bad : {-1.0, std::nan(""), std::numeric_limits<double>::infinity()})
        EXPECT_EQ(LXKeptRange::toUs(bad), 0) << bad;
    EXPECT_EQ(LXKeptRange::toUs(1e300), std::numeric_limits<int64_t>::max()) << "no overflow into a negative time";

    auto i = item();
    i->setKeptRange({5'000'000, 3'000'000});
    EXPECT_EQ(i->keptRange(), (LXKeptRange{5'000'000, 5'000'000})) << "an end before the start lands on it";
    i->setKeptRange({-7, 4'000'000});
    EXPECT_EQ(i->keptRange().startUs, 0);
    i->setKeptRange(LXKeptRange::fromSeconds(12.5, 18.0));
    EXPECT_DOUBLE_EQ(i->trackStartPos(), 12.5 / 20.0);
    EXPECT_EQ(i->trackStart(), 12.5);
    EXPECT_EQ(i->trackEnd(), 18.0);
    i->setTotalDuration(25.0);
    EXPECT_DOUBLE_EQ(i->trackStartPos(), 0.5) << "the place follows the length; it is never stored apart";
}

TEST(Trim, CutsStayOrderedAndThePlayWindowIsTheKeptRange) {
    LXTrim t;
    EXPECT_EQ(t.playWindow(), (std::pair<int64_t, int64_t>{-1, -1}));
    t.cutAt(LXTrim::Cut::Start, 3.0); // no item: nothing to cut, nothing breaks
    auto i = item();
    t.setItem(i);
    t.cutAt(LXTrim::Cut::End, 10.0);
    t.cutAt(LXTrim::Cut::Start, 12.0);
    EXPECT_EQ(i->keptRange(), (LXKeptRange{10'000'000, 10'000'000})) << "a start past the end stops at the end";
    t.cutAt(LXTrim::Cut::Start, 4.25);
    t.cutAt(LXTrim::Cut::End, 1.0);
    EXPECT_EQ(i->keptRange(), (LXKeptRange{4'250'000, 4'250'000})) << "an end before the start stops at the start";
    t.cutAt(LXTrim::Cut::End, 9.5);
    EXPECT_EQ(t.playWindow(), (std::pair<int64_t, int64_t>{4'250'000, 5'250'000}));
}

TEST(Trim, NudgesMoveByExactStepsWithinTheFileAndKeepTheMinimum) {
    auto i = item();
    LXTrim t;
    t.setItem(i);
    // Forty steps of 50 ms are exactly two seconds: no drift from adding fractions.
    for (int n = 0; n < 40; ++n)
        ASSERT_TRUE(t.nudge(LXTrim::Cut::Start, +1));
    EXPECT_EQ(i->keptRange().startUs, 2'000'000);
    for (int n = 0; n < 45; ++n)
        t.nudge(LXTrim::Cut::Start, -1);
    EXPECT_EQ(i->keptRange().startUs, 0) << "never before the file";
    EXPECT_EQ(t.nudge(LXTrim::Cut::Start, -1), std::optional<int64_t>(0)) << "at the edge it stays, and says where";
    EXPECT_EQ(t.nudge(LXTrim::Cut::End, +1), std::optional<int64_t>(20'000'000)) << "never past the file";

    // Two seconds and a little kept: the start may come up to the minimum, not past it.
    i->setKeptRange({10'000'000, 12'030'000});
    EXPECT_EQ(t.nudge(LXTrim::Cut::Start, +1), std::optional<int64_t>(10'030'000));
    EXPECT_FALSE(t.nudge(LXTrim::Cut::Start, +1)) << "the minimum refuses";
    EXPECT_FALSE(t.nudge(LXTrim::Cut::End, -1));
    EXPECT_EQ(i->keptRange(), (LXKeptRange{10'030'000, 12'030'000}));
    // An end near the file's end goes to it, not beyond.
    i->setKeptRange({0, 19'980'000});
    EXPECT_EQ(t.nudge(LXTrim::Cut::End, +1), std::optional<int64_t>(20'000'000));
}

TEST(Trim, CancelGoesBackToWhereTheEditBeganAndSavedIsRememberedApart) {
    auto i = item();
    LXTrim t;
    t.setItem(i);
    EXPECT_FALSE(t.changedSinceSaved());
    t.begin();
    t.cutAt(LXTrim::Cut::Start, 3.0);
    t.cutAt(LXTrim::Cut::End, 9.0);
    EXPECT_TRUE(t.changedSinceSaved());
    t.cancel();
    EXPECT_EQ(i->keptRange(), LXKeptRange::fromSeconds(0, 20));
    EXPECT_FALSE(t.changedSinceSaved());

    // Applied, then edited again: a cancel goes back to the applied range, not the first.
    t.begin();
    t.cutAt(LXTrim::Cut::End, 12.0);
    t.apply();
    t.cutAt(LXTrim::Cut::Start, 5.0);
    t.cancel();
    EXPECT_EQ(i->keptRange(), LXKeptRange::fromSeconds(0, 12));
    EXPECT_TRUE(t.changedSinceSaved()) << "applied is not saved";
    t.markSaved();
    EXPECT_FALSE(t.changedSinceSaved());
    EXPECT_EQ(t.saved(), LXKeptRange::fromSeconds(0, 12));

    // Another item starts afresh: its own range is both saved and begun.
    auto other = item(8.0);
    other->setKeptRange(LXKeptRange::fromSeconds(1, 7));
    t.setItem(other);
    EXPECT_EQ(t.begun(), LXKeptRange::fromSeconds(1, 7));
    EXPECT_FALSE(t.changedSinceSaved());
    t.cancel();
    EXPECT_EQ(i->keptRange(), LXKeptRange::fromSeconds(0, 12)) << "the first item is left alone";
}
