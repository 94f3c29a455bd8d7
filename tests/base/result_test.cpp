#include "base/result.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vel {
namespace {

// A chain of steps as the core writes them: each step either hands on its
// value or stops the chain with its error, and nothing after a failed step
// runs.
struct Steps {
    std::vector<std::string> ran;
    int failAt = -1;

    Result<std::unique_ptr<int>> Make(int step, int value)
    {
        ran.push_back("make " + std::to_string(step));
        if (step == failAt) return MakeError(ErrorCode::NotFound, "step " + std::to_string(step) + " failed");
        return std::make_unique<int>(value);
    }
    Status Check(int step)
    {
        ran.push_back("check " + std::to_string(step));
        if (step == failAt) return MakeError(ErrorCode::Busy, "check " + std::to_string(step) + " failed");
        return Status::Ok();
    }
    Result<std::map<int, std::string>> Table(int step)
    {
        ran.push_back("table " + std::to_string(step));
        if (step == failAt) return MakeError(ErrorCode::BadFormat, "table failed");
        return std::map<int, std::string>{{step, "row"}};
    }

    Result<int> Run()
    {
        VEL_TRY_ASSIGN(auto first, Make(0, 40)); // a move-only value, declared
        VEL_TRY(Check(1));
        std::unique_ptr<int> second;
        VEL_TRY_ASSIGN(second, Make(2, 2)); // assigned to a variable declared before
        VEL_TRY_ASSIGN(const auto table, Table(3));
        VEL_TRY_ASSIGN(auto copy, Result<std::map<int, std::string>>(table)); // commas in the expression
        return *first + *second + static_cast<int>(copy.size()) - 1;
    }
};

TEST(Result, EarlyReturnsStopAtTheFirstFailedStepAndPassItsErrorOn)
{
    Steps all;
    auto done = all.Run();
    ASSERT_TRUE(done.ok()) << done.error().message;
    EXPECT_EQ(*done, 42);
    EXPECT_EQ(all.ran, (std::vector<std::string>{"make 0", "check 1", "make 2", "table 3"}));

    const ErrorCode codes[] = {ErrorCode::NotFound, ErrorCode::Busy, ErrorCode::NotFound, ErrorCode::BadFormat};
    for (int failAt = 0; failAt < 4; ++failAt) {
        Steps steps;
        steps.failAt = failAt;
        auto failed = steps.Run();
        ASSERT_FALSE(failed.ok()) << failAt;
        EXPECT_EQ(failed.error().code, codes[failAt]);
        EXPECT_NE(failed.error().message.find("failed"), std::string::npos);
        EXPECT_EQ(steps.ran.size(), static_cast<std::size_t>(failAt + 1)) << "a step after the failed one ran";
    }
}

TEST(Result, FirstFailureKeepsTheFirstOfSeveral)
{
    FirstFailure steps;
    steps.Note(Status::Ok());
    EXPECT_TRUE(steps.status().ok());
    steps.Note(MakeError(ErrorCode::Io, "first"));
    steps.Note(Status::Ok());
    steps.Note(MakeError(ErrorCode::Busy, "second"));
    ASSERT_FALSE(steps.status().ok());
    EXPECT_EQ(steps.status().error().code, ErrorCode::Io);
    EXPECT_EQ(steps.status().error().message, "first");
}

} // namespace
} // namespace vel
