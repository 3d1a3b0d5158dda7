// The plugin-host program's commands, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "codecs/json_reader.h"

namespace {

struct HostRun {
    int exitCode = -1;
    std::string out;  ///< standard output only
};

[[nodiscard]] HostRun RunHost(const std::string& arguments) {
    const std::string command = std::string(KZO_HOST_PATH) + " " + arguments + " 2>/dev/null";
    HostRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(PluginHostCommandTest, ExitCodesFollowTheAnswer) {
    struct Case {
        const char* arguments;
        int exitCode;
        const char* out;  ///< the first line of standard output; null: not checked
    };
    const Case cases[] = {
        {"call /kzo-match-history/v1/web-url", 0, "\"http://localhost:8080/match-history/\""},
        {"call /kzo-match-history/v1/games/1", 1, R"({"message":"Not found","status":404})"},
        {"call /kzo-login/v1/session --method DELETE", 0, nullptr},
        {"call", 2, ""},
        {"serve --help", 0, "Usage: plugin-host serve [--port N] [--address ADDR] [options]"},
        {"serve --port 70000", 2, ""},
        {"frobnicate", 2, ""},
        {"", 2, ""},
        {"call /kzo-match-history/v1/matchlist --data /nonexistent-folder", 1, ""},
    };
    for (const Case& c : cases) {
        const HostRun run = RunHost(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
        if (c.out != nullptr)
            EXPECT_EQ(run.out.substr(0, run.out.find('\n')), c.out) << c.arguments;
    }
}

TEST(PluginHostCommandTest, DescribePrintsTheApiAsJson) {
    const HostRun run = RunHost("describe");
    ASSERT_EQ(run.exitCode, 0);
    const Nimbel::BindingStatus parsed = Nimbel::JsonToValue(run.out.c_str());
    ASSERT_TRUE(parsed.Ok()) << parsed.ErrorMessage();
    EXPECT_EQ(parsed.Value()["endpoints"].Size(), 7u);
    EXPECT_GT(parsed.Value()["types"].Size(), 40u);
    EXPECT_EQ(parsed.Value()["events"].Size(), 6u);
}

}  // namespace
