#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>

#include "host/host_core.h"
#include "tests/plugin/loaded_module.h"

namespace Nimbel {
namespace {

using WaitKind = KzoHost::HostCore::WaitCall::Kind;

// Posts work to the core that fulfils the promise at the core's N-th yield.
void FulfilAfterYields(KzoHost::HostCore& core, const std::shared_ptr<std::promise<int>>& promise,
                       int yields, int value) {
    core.Post([&core, promise, yields, value] {
        if (yields <= 1) {
            promise->set_value(value);
        } else {
            FulfilAfterYields(core, promise, yields - 1, value);
        }
    });
}

TEST(AwaitTest, AFutureReadyAfterThreeYieldsWaitsOnceAndYieldsThrice) {
    testing::StartedModule started;
    started.Start();
    auto promise = std::make_shared<std::promise<int>>();
    std::future<int> future = promise->get_future();
    FulfilAfterYields(started.core, promise, 3, 42);

    EXPECT_EQ(started.Module().Await(std::move(future)), 42);

    const auto& calls = started.core.WaitCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].kind, WaitKind::Begin);
    EXPECT_EQ(calls[0].label.rfind("Wait: future<", 0), 0u) << calls[0].label;
    EXPECT_NE(calls[0].label.find("int"), std::string::npos) << "names the awaited type";
    EXPECT_EQ(calls[1].kind, WaitKind::Yield);
    EXPECT_EQ(calls[2].kind, WaitKind::Yield);
    EXPECT_EQ(calls[3].kind, WaitKind::Yield);
    EXPECT_EQ(calls[4].kind, WaitKind::End);
}

TEST(AwaitTest, AReadyFutureMakesNoCallToTheCore) {
    testing::StartedModule started;
    started.Start();
    std::promise<std::string> promise;
    promise.set_value("ready");
    EXPECT_EQ(started.Module().Await(promise.get_future()), "ready");
    EXPECT_TRUE(started.core.WaitCalls().empty());
}

TEST(AwaitTest, ADeferredFutureRunsWithoutWaiting) {
    testing::StartedModule started;
    started.Start();
    auto future = std::async(std::launch::deferred, [] { return 7; });
    EXPECT_EQ(started.Module().Await(std::move(future)), 7);
    EXPECT_TRUE(started.core.WaitCalls().empty());
}

TEST(AwaitDeathTest, BrokenFuturesEndTheProcessWithTheirReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            testing::StartedModule started(/*echoLog=*/true);
            started.Start();
            static_cast<void>(started.Module().Await(std::future<int>()));
        },
        "ALE-6D828C10");
    EXPECT_DEATH(
        {
            testing::StartedModule started(/*echoLog=*/true);
            started.Start();
            std::future<int> future;
            {
                std::promise<int> promise;
                future = promise.get_future();
            }
            static_cast<void>(started.Module().Await(std::move(future)));
        },
        "ALE-6D828C10");
}

}  // namespace
}  // namespace Nimbel
