#include "diagnostics/trace_provider.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace Nimbel {
namespace {

struct WrittenEvent {
    KzoTraceRegistration registration;
    KzoTraceEventDescriptor descriptor;
    std::vector<std::string> items;  // each item's bytes
};

struct Session {
    uint32_t isEnabled = kKzoTraceEnable;
    uint8_t level = 0;
    uint64_t matchAny = ~0ull;
    uint64_t matchAll = 0;
};

// A consumer in the test: the session it applies to each provider as it
// registers (none when absent), and everything the providers did.
struct FakeConsumer {
    static inline bool hasSession = false;
    static inline Session session;
    static inline uint32_t refuseProvider = ~0u;  // index of a provider to refuse
    static inline std::vector<KzoTraceEnableCallback> callbacks;
    static inline std::vector<void*> contexts;
    static inline std::vector<KzoTraceRegistration> unregistered;
    static inline std::vector<WrittenEvent> written;

    static void Reset() {
        hasSession = false;
        session = Session{};
        refuseProvider = ~0u;
        callbacks.clear();
        contexts.clear();
        unregistered.clear();
        written.clear();
    }

    static uint32_t Register(const KzoTraceProviderId* provider, KzoTraceEnableCallback callback,
                             void* context, KzoTraceRegistration* registration) {
        const auto index = static_cast<uint32_t>(callbacks.size());
        EXPECT_EQ(std::memcmp(provider, &kTraceProviderIds[index], sizeof *provider), 0);
        callbacks.push_back(callback);
        contexts.push_back(context);
        if (index == refuseProvider) return 5;
        *registration = 100 + index;
        if (hasSession) Apply(index, session);
        return 0;
    }

    static void Apply(uint32_t index, const Session& s) {
        callbacks[index](&kTraceProviderIds[index], s.isEnabled, s.level, s.matchAny, s.matchAll,
                         contexts[index]);
    }

    static uint32_t Write(KzoTraceRegistration registration, const KzoTraceEventDescriptor* event,
                          uint32_t itemCount, const KzoTraceDataItem* items) {
        WrittenEvent record{registration, *event, {}};
        for (uint32_t i = 0; i < itemCount; ++i) {
            const auto* bytes =
                reinterpret_cast<const char*>(static_cast<uintptr_t>(items[i].pointer));
            record.items.emplace_back(bytes, items[i].size);
        }
        written.push_back(record);
        return 0;
    }

    static uint32_t Unregister(KzoTraceRegistration registration) {
        unregistered.push_back(registration);
        return 0;
    }

    static TraceConsumer Functions() { return TraceConsumer{Register, Write, Unregister}; }
};

class TraceProviderTest : public ::testing::Test {
protected:
    void SetUp() override { FakeConsumer::Reset(); }
    void TearDown() override { UnregisterTraceProviders(); }
};

TEST_F(TraceProviderTest, ConsumerAtLevelZeroReceivesTheMainThreadEvent) {
    FakeConsumer::hasSession = true;
    RegisterTraceProviders(FakeConsumer::Functions());
    ASSERT_EQ(FakeConsumer::callbacks.size(), kTraceProviderCount);
    WriteMainThreadEvent();

    ASSERT_EQ(FakeConsumer::written.size(), 1u);
    const WrittenEvent& event = FakeConsumer::written[0];
    EXPECT_EQ(event.registration, 101u) << "written by the second provider";
    const KzoTraceEventDescriptor& d = event.descriptor;
    EXPECT_EQ(d.id, 103);
    EXPECT_EQ(d.version, 0);
    EXPECT_EQ(d.channel, 0);
    EXPECT_EQ(d.level, 0);
    EXPECT_EQ(d.opcode, 14);
    EXPECT_EQ(d.task, 2);
    EXPECT_EQ(d.keyword, 1u);
    ASSERT_EQ(event.items.size(), 2u);
    const auto threadId = static_cast<uint32_t>(gettid());
    EXPECT_EQ(event.items[0], std::string(reinterpret_cast<const char*>(&threadId), 4));
    EXPECT_EQ(event.items[1], std::string("Main thread\0", 12)) << "text with its NUL";
}

TEST_F(TraceProviderTest, NothingIsWrittenUnlessAConsumerWantsTheEvent) {
    struct Case {
        const char* description;
        TraceConsumer consumer;
        bool hasSession;
        Session session;
        uint32_t refuseProvider;
    };
    const TraceConsumer full = FakeConsumer::Functions();
    const Case cases[] = {
        {"no session", full, false, {}, ~0u},
        {"absent consumer", TraceConsumer{}, true, {}, ~0u},
        {"consumer without a write function",
         {full.registerProvider, nullptr, full.unregisterProvider},
         true,
         {},
         ~0u},
        {"session disabled", full, true, {kKzoTraceDisable, 0, ~0ull, 0}, ~0u},
        {"keyword not asked for", full, true, {kKzoTraceEnable, 0, 2, 0}, ~0u},
        {"second provider refused", full, true, {}, 1},
    };
    for (const Case& c : cases) {
        FakeConsumer::Reset();
        FakeConsumer::hasSession = c.hasSession;
        FakeConsumer::session = c.session;
        FakeConsumer::refuseProvider = c.refuseProvider;
        RegisterTraceProviders(c.consumer);
        WriteMainThreadEvent();
        EXPECT_TRUE(FakeConsumer::written.empty()) << c.description;
        UnregisterTraceProviders();
    }
}

TEST_F(TraceProviderTest, EnableRuleChecksLevelThenKeywords) {
    struct Case {
        const char* description;
        uint8_t eventLevel;
        uint64_t keyword;
        Session session;
        bool expected;
    };
    const Case cases[] = {
        {"level 0 asks for every level", 5, 1, {kKzoTraceEnable, 0, ~0ull, 0}, true},
        {"asked level equal to the event's", 4, 1, {kKzoTraceEnable, 4, ~0ull, 0}, true},
        {"asked level below the event's", 4, 1, {kKzoTraceEnable, 3, ~0ull, 0}, false},
        {"keyword 0 is always wanted", 0, 0, {kKzoTraceEnable, 0, 0, ~0ull}, true},
        {"empty any-mask", 0, 1, {kKzoTraceEnable, 0, 0, 0}, false},
        {"any-mask met, all-mask held", 0, 3, {kKzoTraceEnable, 0, 1, 2}, true},
        {"any-mask met, all-mask not held", 0, 1, {kKzoTraceEnable, 0, 1, 2}, false},
    };
    for (const Case& c : cases) {
        const KzoTraceEventDescriptor event{1, 0, 0, c.eventLevel, 0, 0, c.keyword};
        EXPECT_EQ(TraceEventWanted(event, c.session.level, c.session.matchAny, c.session.matchAll),
                  c.expected)
            << c.description;
    }
}

TEST_F(TraceProviderTest, LaterEnableChangesAreHonouredUntilUnregistered) {
    RegisterTraceProviders(FakeConsumer::Functions());
    WriteMainThreadEvent();
    EXPECT_TRUE(FakeConsumer::written.empty()) << "no session yet";

    FakeConsumer::Apply(1, Session{});
    WriteMainThreadEvent();
    EXPECT_EQ(FakeConsumer::written.size(), 1u) << "a session started";

    FakeConsumer::Apply(1, Session{2, 0, 0, 0});
    WriteMainThreadEvent();
    EXPECT_EQ(FakeConsumer::written.size(), 2u) << "a request that is not about enablement";

    FakeConsumer::Apply(1, Session{kKzoTraceDisable});
    WriteMainThreadEvent();
    EXPECT_EQ(FakeConsumer::written.size(), 2u) << "the session stopped";

    FakeConsumer::Apply(1, Session{});
    UnregisterTraceProviders();
    WriteMainThreadEvent();
    EXPECT_EQ(FakeConsumer::written.size(), 2u) << "unregistered";
    EXPECT_EQ(FakeConsumer::unregistered, (std::vector<KzoTraceRegistration>{100, 101, 102, 103}));
}

TEST_F(TraceProviderTest, SecondRegistrationIsIgnoredAndTheTestBinaryExportsNoConsumer) {
    RegisterTraceProviders(FakeConsumer::Functions());
    RegisterTraceProviders(FakeConsumer::Functions());
    EXPECT_EQ(FakeConsumer::callbacks.size(), kTraceProviderCount);
    EXPECT_FALSE(FindTraceConsumer().IsPresent());
}

}  // namespace
}  // namespace Nimbel
