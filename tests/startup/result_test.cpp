// The one result shape: a value or a reason, passed up unchanged, misuse stopped.
#include "startup/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace velmora;

namespace {

enum class Fault { Closed, Full };

Result<std::unique_ptr<int>> made(bool ok)
{
    if (!ok)
        return Reason{"no room"};
    return std::make_unique<int>(7);
}

// A failure of one kind of value passed up as another's, as callers do.
Result<std::string> described(bool ok)
{
    Result<std::unique_ptr<int>> inner = made(ok);
    if (!inner.ok())
        return inner.reason();
    return std::to_string(*inner.value());
}

} // namespace

TEST(Result, AValueMovesOutWholeAndAFailurePassesUpWithItsReason)
{
    Result<std::unique_ptr<int>> good = made(true);
    ASSERT_TRUE(good.ok());
    std::unique_ptr<int> taken = std::move(good).value();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(*taken, 7);

    EXPECT_EQ(described(true).value(), "7");
    const Result<std::string> bad = described(false);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.reason().text, "no room");
    EXPECT_EQ(reasonText(bad), "no room");
    EXPECT_EQ(reasonText(described(true)), "");
    // A string value and a string reason are never taken for each other.
    EXPECT_TRUE(Result<std::string>(std::string("no room")).ok());
    EXPECT_FALSE(Result<std::string>(Reason{""}).ok()); // even a reason with no words is a failure
}

TEST(Result, DoneOrWhyNotAndReasonsOfTheCallersOwn)
{
    const Result<void> done;
    EXPECT_TRUE(done.ok());
    const Result<void, Fault> closed = Fault::Closed;
    ASSERT_FALSE(closed.ok());
    EXPECT_EQ(closed.reason(), Fault::Closed);
    EXPECT_EQ(failureOf(closed), Fault::Closed);
    EXPECT_EQ(failureOf(Result<void, Fault>()), std::nullopt);

    Result<int, Fault> later = Fault::Full; // a result may be given another outcome
    later = 3;
    ASSERT_TRUE(later.ok());
    EXPECT_EQ(later.value(), 3);
}

#ifndef NDEBUG
TEST(ResultDeathTest, AskingAFailureForItsValueOrASuccessForItsReasonStops)
{
    EXPECT_DEATH((void)described(false).value(), "");
    EXPECT_DEATH((void)described(true).reason(), "");
    EXPECT_DEATH((void)Result<void>().reason(), "");
}
#endif
