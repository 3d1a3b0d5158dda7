// Loads the real plug-in library through the reference host, as the core does.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/host_core.h"
#include "host/plugin_library.h"

namespace KzoHost {
namespace {

std::unique_ptr<PluginLibrary> OpenPlugin() {
    std::string error;
    auto library = PluginLibrary::Open(KZO_PLUGIN_PATH, error);
    EXPECT_NE(library, nullptr) << error;
    return library;
}

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> symbols;
    const std::string command = "nm -D --defined-only '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        const size_t lastSpace = text.find_last_of(' ');
        std::string name = text.substr(lastSpace + 1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        symbols.insert(name);
    }
    pclose(pipe);
    return symbols;
}

TEST(PluginLoadTest, ExportsOnlyItsEntry) {
    EXPECT_EQ(DefinedDynamicSymbols(KZO_PLUGIN_PATH),
              std::set<std::string>{"load_kzo_match_history"});
}

TEST(PluginLoadTest, AnswersTheLoadRecordForCompatibleCores) {
    for (const CoreVersion core :
         {CoreVersion{18, 0, 0}, CoreVersion{18, 0, 7}, CoreVersion{18, 5, 0}}) {
        SCOPED_TRACE(std::to_string(core.major) + "." + std::to_string(core.minor) + "." +
                     std::to_string(core.patch));
        auto library = OpenPlugin();
        ASSERT_NE(library, nullptr);
        std::string error;
        ASSERT_TRUE(library->Load(core, error)) << error;
        const PluginLoadRecord& record = library->Record();
        EXPECT_EQ(record.major, 18u);
        EXPECT_EQ(record.minor, 0u);
        EXPECT_EQ(record.patch, 0u);
        EXPECT_STREQ(record.shortName, "kzo-match-history");
        HostCore host;
        EXPECT_TRUE(library->Start(*host.Context()));
        library->Stop();
    }
}

TEST(PluginLoadDeathTest, IncompatibleCoreEndsTheProcessWithItsReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const CoreVersion core : {CoreVersion{17, 9, 9}, CoreVersion{19, 0, 0}}) {
        EXPECT_DEATH(
            {
                std::string error;
                auto library = PluginLibrary::Open(KZO_PLUGIN_PATH, error);
                static_cast<void>(library->Load(core, error));
            },
            "Expression: ALE-EECF0606");
    }
}

TEST(PluginLoadTest, CountsTheLibrarysAllocationsAndNotTheHosts) {
    auto library = OpenPlugin();
    ASSERT_NE(library, nullptr);
    std::string error;
    ASSERT_TRUE(library->Load(CoreVersion{}, error)) << error;
    const auto afterLoad = library->MemoryStats();
    EXPECT_GT(afterLoad[3], 0u) << "making the module allocates through the counting allocator";
    EXPECT_EQ(afterLoad[6], 0u);

    std::vector<std::unique_ptr<std::string>> hostObjects;
    for (int i = 0; i < 1000; ++i) hostObjects.push_back(std::make_unique<std::string>(100, 'x'));
    void* hostBlock = std::malloc(1 << 20);
    const auto afterHost = library->MemoryStats();
    std::free(hostBlock);
    EXPECT_EQ(afterHost[3], afterLoad[3]) << "the host's allocations are not the plug-in's";
    EXPECT_EQ(afterHost[2], afterLoad[2]);

    HostCore host;
    ASSERT_TRUE(library->Start(*host.Context()));
    const auto afterStart = library->MemoryStats();
    EXPECT_GE(afterStart[3], afterLoad[3]);
    EXPECT_LE(afterStart[4], afterStart[2]) << "freed bytes never exceed allocated bytes";
    EXPECT_EQ(afterStart[0] >= afterStart[2] - afterStart[4], true) << "peak covers live bytes";
    library->Stop();  // while its core is still there to take the unsubscriptions
}

}  // namespace
}  // namespace KzoHost

namespace KzoHost {
namespace {

std::string RunAndRead(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
    return output;
}

TEST(PluginLoadTest, LoadingAnnouncesTheMainThreadToATraceConsumer) {
    const std::string output =
        RunAndRead(std::string("'") + KZO_TRACE_PROBE_PATH + "' '" + KZO_PLUGIN_PATH + "'");
    EXPECT_NE(output.find("event 103 opcode 14 task 2 keyword 1 items 2 [u32 "), std::string::npos)
        << output;
    EXPECT_NE(output.find("[text Main thread]"), std::string::npos) << output;
}

}  // namespace
}  // namespace KzoHost
