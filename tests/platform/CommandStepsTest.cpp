#include "platform/CommandSteps.h"
#include "platform/CommandError.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quillon;

namespace {

struct Recorder {
    std::vector<ErrorReport> reports;
    std::vector<ErrorChoice> answers;
    ErrorDecider decider()
    {
        return [this](const ErrorReport& r) {
            reports.push_back(r);
            const ErrorChoice answer = answers.empty() ? ErrorChoice::Abort : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        };
    }
};

} // namespace

TEST(CommandSteps, RetryRepeatsTheFailedStepAndGoesOn)
{
    Recorder user;
    user.answers = {ErrorChoice::Retry};
    CommandSteps steps("Scanning", user.decider());
    int attempts = 0;
    bool finished = false;
    const bool done = RunCommand(steps, [&] {
        steps.step(1, [] {});
        steps.step(2, [&] {
            if (++attempts == 1)
                throw CommandError::typeMismatch();
        });
        finished = steps.step(3, [] { return true; });
    });
    EXPECT_TRUE(done);
    EXPECT_TRUE(finished);
    EXPECT_EQ(attempts, 2);
    ASSERT_EQ(user.reports.size(), 1u);
    EXPECT_EQ(user.reports[0].number, 13);
    EXPECT_EQ(user.reports[0].description, "Type mismatch");
    EXPECT_EQ(user.reports[0].procedure, "Scanning");
    EXPECT_EQ(user.reports[0].line, 2);
}

TEST(CommandSteps, AbortEndsTheCommandAndRunsOnAbortOnce)
{
    Recorder user;
    bool cancel = false;
    int abortCalls = 0;
    CommandSteps steps("TreeView List", user.decider(), [&] {
        cancel = true;
        ++abortCalls;
    });
    bool reachedStep3 = false;
    const bool done = RunCommand(steps, [&] {
        steps.step(2, [] { throw std::runtime_error("disk gone"); });
        reachedStep3 = true;
    });
    EXPECT_FALSE(done);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(abortCalls, 1);
    EXPECT_FALSE(reachedStep3);
    ASSERT_EQ(user.reports.size(), 1u);
    EXPECT_EQ(user.reports[0].description, "disk gone");
}

TEST(CommandSteps, PersistentErrorAsksAgainWithTheSameValuesAndNoDeciderMeansAbort)
{
    Recorder user;
    user.answers = {ErrorChoice::Retry, ErrorChoice::Retry, ErrorChoice::Abort};
    CommandSteps steps("Folder List", user.decider());
    EXPECT_FALSE(RunCommand(steps, [&] { steps.step(7, [] { throw CommandError::overflow(); }); }));
    ASSERT_EQ(user.reports.size(), 3u);
    for (const ErrorReport& r : user.reports) {
        EXPECT_EQ(r.number, 6);
        EXPECT_EQ(r.line, 7);
    }

    CommandSteps silent("New Session", {});
    EXPECT_FALSE(RunCommand(silent, [&] { silent.step(0, [] { throw CommandError(5, "x"); }); }));
}
