// The real plug-in library while its allocations fail: a failure swept over
// every allocation of a request or an event, once and from then on. Each
// request is answered right or with a proper error (error flag, status,
// message), nothing leaks, events leave the module's state as it was or as
// the event makes it, and the next request is answered as before.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "tests/host/sample_plugin_test.h"

namespace {

using FailAllocationsFn = void (*)(uint64_t failAt, int fromThenOn);
using AllocationAttemptsFn = uint64_t (*)();

constexpr const char* kWebUrl = "/kzo-match-history/v1/web-url";
constexpr const char* kGame = "/kzo-match-history/v1/games/3037071829";
constexpr const char* kRecentlyPlayed = "/kzo-match-history/v1/recently-played-summoners";

[[nodiscard]] std::string Shown(const KzoHost::EndpointReply& reply) {
    return std::to_string(reply.status) + " " +
           (reply.error.has_value() ? "error: " + *reply.error : reply.json);
}

class AllocationFailureTest : public Nimbel::testing::SamplePluginTest {
protected:
    [[nodiscard]] const char* PluginPath() const override { return KZO_FAILING_PLUGIN_PATH; }

    void SetUp() override {
        SamplePluginTest::SetUp();
        if (HasFatalFailure()) return;
        void* handle = dlopen(KZO_FAILING_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(handle, nullptr) << "the library is loaded";
        fail_ = reinterpret_cast<FailAllocationsFn>(dlsym(handle, "kzo_test_fail_allocations"));
        attempts_ =
            reinterpret_cast<AllocationAttemptsFn>(dlsym(handle, "kzo_test_allocation_attempts"));
        dlclose(handle);  // the library's own handle keeps it loaded
        ASSERT_NE(fail_, nullptr);
        ASSERT_NE(attempts_, nullptr);
    }
    void TearDown() override {
        if (fail_ != nullptr) fail_(0, 0);
        SamplePluginTest::TearDown();
    }

    /// Allocations the library made but has not freed.
    [[nodiscard]] uint64_t LiveBlocks() const {
        const auto stats = library_->MemoryStats();
        return stats[3] - stats[5];
    }

    /// How many allocations `work` asks of the library when none fails.
    template <class Work>
    [[nodiscard]] uint64_t AllocationsOf(Work&& work) {
        fail_(0, 0);
        work();
        return attempts_();
    }

    FailAllocationsFn fail_ = nullptr;
    AllocationAttemptsFn attempts_ = nullptr;
};

// A proper error: the error flag set (the reader sees an error only then), an
// error status and a message.
void ExpectRightOrProperError(const KzoHost::EndpointReply& reply,
                              const KzoHost::EndpointReply& right, const std::string& where) {
    if (!reply.error.has_value()) {
        EXPECT_EQ(Shown(reply), Shown(right)) << where << ": a success is the right answer";
        return;
    }
    EXPECT_GE(reply.status, 400u) << where << ": " << Shown(reply);
    EXPECT_LE(reply.status, 599u) << where << ": " << Shown(reply);
    EXPECT_FALSE(reply.error->empty()) << where;
}

// One request per path, so that ctest sweeps them side by side.
class RequestUnderFailingAllocations : public AllocationFailureTest,
                                       public ::testing::WithParamInterface<const char*> {};

TEST_P(RequestUnderFailingAllocations, AnswersRightOrWithAProperErrorAndLeaksNothing) {
    const char* path = GetParam();
    const KzoHost::EndpointReply right = Send(path);
    ASSERT_FALSE(right.error.has_value()) << Shown(right);
    const uint64_t live = LiveBlocks();
    const uint64_t allocations = AllocationsOf([&] { ASSERT_EQ(Shown(Send(path)), Shown(right)); });
    ASSERT_GT(allocations, 0u);
    size_t properErrors = 0;
    for (const int fromThenOn : {0, 1}) {
        for (uint64_t failAt = 1; failAt <= allocations; ++failAt) {
            const std::string where = "allocation " + std::to_string(failAt) +
                                      (fromThenOn != 0 ? " and all after it" : " alone");
            fail_(failAt, fromThenOn);
            const KzoHost::EndpointReply reply = Send(path);
            fail_(0, 0);
            ExpectRightOrProperError(reply, right, where);
            if (reply.error.has_value()) ++properErrors;
            EXPECT_EQ(Shown(Send(path)), Shown(right)) << where << ": the next request";
            EXPECT_EQ(LiveBlocks(), live) << where << ": nothing leaks";
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(properErrors, 0u) << "failed allocations were answered as errors";
}

struct GameDataPath {
    const char* name;
    const char* path;
};
constexpr GameDataPath kGameDataPaths[] = {
    {"Game", kGame},
    {"Timeline", "/kzo-match-history/v1/game-timelines/3037071829"},
    {"MatchList", "/kzo-match-history/v1/matchlist"},
    {"RecentlyPlayed", kRecentlyPlayed},
    {"Delta", "/kzo-match-history/v1/delta"},
};

[[nodiscard]] std::string NameOfPath(const ::testing::TestParamInfo<const char*>& info) {
    return kGameDataPaths[info.index].name;
}

INSTANTIATE_TEST_SUITE_P(EveryGameDataPath, RequestUnderFailingAllocations,
                         ::testing::Values(kGameDataPaths[0].path, kGameDataPaths[1].path,
                                           kGameDataPaths[2].path, kGameDataPaths[3].path,
                                           kGameDataPaths[4].path),
                         NameOfPath);

// A session or configuration event under a failing allocation is taken whole
// or dropped whole: afterwards the answers that depend on it show one state,
// the old one or the new one, never a mix.
TEST_F(AllocationFailureTest, EventsUnderFailingAllocationsLeaveTheStateWhole) {
    const auto configurationOf = [](bool on, const char* url) {
        Nimbel::BindingProperty configuration;
        configuration["Enabled"] = on;
        configuration["MatchHistoryWebURL"] = url;
        return configuration;
    };
    const Nimbel::BindingProperty enabled = configurationOf(true, "https://example.test/on");
    const Nimbel::BindingProperty disabled = configurationOf(false, "https://example.test/off");
    const auto configuration = [this](const Nimbel::BindingProperty& value) {
        peers_->SetConfiguration(value);
    };
    configuration(enabled);
    const std::string onState = Shown(Send(kWebUrl)) + " | " + Shown(Send(kGame));
    configuration(disabled);
    const std::string offState = Shown(Send(kWebUrl)) + " | " + Shown(Send(kGame));
    ASSERT_NE(onState, offState);

    const std::string loggedIn = Shown(Send(kRecentlyPlayed));
    const Nimbel::BindingProperty session = *peers_->Session();
    peers_->DeleteSession();
    const std::string loggedOut = Shown(Send(kRecentlyPlayed));
    ASSERT_NE(loggedIn, loggedOut);
    peers_->SetSession(session);

    struct Event {
        const char* description;
        std::function<void()> toNew;
        std::function<void()> toOld;
        std::function<std::string()> state;
        std::string oldState;
        std::string newState;
    };
    const Event events[] = {
        {"a configuration change", [&] { configuration(disabled); },
         [&] { configuration(enabled); },
         [&] { return Shown(Send(kWebUrl)) + " | " + Shown(Send(kGame)); }, onState, offState},
        {"a logout", [&] { peers_->DeleteSession(); }, [&] { peers_->SetSession(session); },
         [&] { return Shown(Send(kRecentlyPlayed)); }, loggedIn, loggedOut},
        {"a login", [&] { peers_->SetSession(session); }, [&] { peers_->DeleteSession(); },
         [&] { return Shown(Send(kRecentlyPlayed)); }, loggedOut, loggedIn},
    };
    for (const Event& event : events) {
        event.toOld();
        ASSERT_EQ(event.state(), event.oldState) << event.description;
        const uint64_t allocations = AllocationsOf([&] { event.toNew(); });
        event.toOld();
        ASSERT_GT(allocations, 0u) << event.description;
        const uint64_t live = LiveBlocks();
        for (const int fromThenOn : {0, 1}) {
            for (uint64_t failAt = 1; failAt <= allocations; ++failAt) {
                const std::string where = std::string(event.description) + ", allocation " +
                                          std::to_string(failAt) +
                                          (fromThenOn != 0 ? " and all after it" : " alone");
                fail_(failAt, fromThenOn);
                event.toNew();
                fail_(0, 0);
                const std::string state = event.state();
                EXPECT_TRUE(state == event.oldState || state == event.newState)
                    << where << ": " << state;
                // The peers changed whether or not the library took the event.
                event.toOld();
                EXPECT_EQ(event.state(), event.oldState) << where << ": the next event counts";
                event.toNew();
                EXPECT_EQ(event.state(), event.newState) << where << ": and the one after";
                event.toOld();
                EXPECT_EQ(LiveBlocks(), live) << where << ": nothing leaks";
                if (HasFailure()) return;
            }
        }
    }
}

}  // namespace
