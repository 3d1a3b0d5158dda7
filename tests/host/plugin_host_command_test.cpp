// The plugin-host program's commands, run as a user runs them.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

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

TEST(PluginHostCommandTest, ServeStopsThePluginCleanlyOnCtrlC) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv = {const_cast<char*>(KZO_HOST_PATH), const_cast<char*>("serve"),
                               const_cast<char*>("--port"), const_cast<char*>("0"), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, KZO_HOST_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);

    // Wait until it serves, interrupt it, and read the rest of what it says.
    std::FILE* err = fdopen(pipeEnds[0], "r");
    ASSERT_NE(err, nullptr);
    std::string said;
    char line[1024];
    while (std::fgets(line, sizeof line, err) != nullptr) {
        said += line;
        if (said.find("Ctrl-C stops") != std::string::npos) break;
    }
    ASSERT_NE(said.find("on http://127.0.0.1:"), std::string::npos) << said;
    kill(child, SIGINT);
    while (std::fgets(line, sizeof line, err) != nullptr) said += line;
    std::fclose(err);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << said;
    EXPECT_EQ(WEXITSTATUS(status), 0) << said;
    EXPECT_NE(said.find("plugin-host: stopped and unloaded"), std::string::npos) << said;
}

} // namespace
