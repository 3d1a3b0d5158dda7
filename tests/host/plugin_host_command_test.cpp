// The plugin-host program's commands, run as a user runs them.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "codecs/json_reader.h"
#include "tests/host/loopback_client.h"

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
        {"serve --max-connections 0", 2, ""},
        {"serve --header-timeout 1.2345", 2, ""},
        {"serve --idle-timeout soon", 2, ""},
        {"call /openapi.json --idle-timeout 5", 2, ""},
        {"frobnicate", 2, ""},
        {"", 2, ""},
        {"call /kzo-match-history/v1/matchlist --data /nonexistent-folder", 1, ""},
        {"call /kzo-match-history/v1/matchlist --peers /nonexistent-folder", 1, ""},
    };
    for (const Case& c : cases) {
        const HostRun run = RunHost(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
        if (c.out != nullptr) {
            EXPECT_EQ(run.out.substr(0, run.out.find('\n')), c.out) << c.arguments;
        }
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

/// `plugin-host serve` on a free port as a child process, its standard error
/// read through a pipe.
class ServingHost {
public:
    explicit ServingHost(std::vector<std::string> extra = {}) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        // The host starts with every signal at its default, whatever this
        // process ignores, as it would from a shell.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        std::vector<std::string> arguments = {KZO_HOST_PATH, "serve", "--port", "0"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&child_, KZO_HOST_PATH, &actions, &attributes, argv.data(), environ) != 0)
            child_ = 0;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        err_ = pipeEnds[0];
    }
    ~ServingHost() {
        if (child_ > 0 && !exited_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (err_ >= 0) close(err_);
    }
    ServingHost(const ServingHost&) = delete;
    ServingHost& operator=(const ServingHost&) = delete;

    /// Reads standard error until `text` has appeared; false when it does not
    /// within `timeout`.
    bool WaitFor(const std::string& text, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (said_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd waiting{err_, POLLIN, 0};
            if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buffer[1024];
            const ssize_t got = read(err_, buffer, sizeof buffer);
            if (got <= 0) return false;
            said_.append(buffer, static_cast<size_t>(got));
        }
        return true;
    }

    /// The port it serves, once it has said so; 0 before.
    [[nodiscard]] int Port() const {
        const size_t at = said_.find("on http://127.0.0.1:");
        return at == std::string::npos ? 0 : std::atoi(said_.c_str() + at + 20);
    }

    void Signal(int signal) const { kill(child_, signal); }

    /// Closes the reading end of its standard error, as a reader that has
    /// gone away does.
    void CloseStandardError() {
        if (err_ >= 0) close(err_);
        err_ = -1;
    }

    /// The exit code once it has exited within `timeout`; -1 when it has not
    /// (or ended by a signal).
    int ExitWithin(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(child_, &status, WNOHANG) == child_) {
                exited_ = true;
                WaitFor("\x01", std::chrono::milliseconds(200));  // the rest of what it said
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    [[nodiscard]] const std::string& Said() const noexcept { return said_; }

private:
    pid_t child_ = 0;
    int err_ = -1;
    bool exited_ = false;
    std::string said_;
};

TEST(PluginHostCommandTest, StopSignalsEndServeWithinTwoSecondsWhateverClientsAreAttached) {
    struct Case {
        const char* description;
        int signal;
    };
    const Case cases[] = {{"Ctrl-C", SIGINT}, {"termination", SIGTERM}, {"hang-up", SIGHUP}};
    for (const Case& c : cases) {
        ServingHost host;
        ASSERT_TRUE(host.WaitFor("Ctrl-C stops", std::chrono::seconds(20))) << host.Said();
        KzoHost::Testing::LoopbackClient idle(host.Port());
        ASSERT_TRUE(idle.Request("GET", "/kzo-match-history/v1/web-url").has_value())
            << c.description;
        KzoHost::Testing::LoopbackClient slow(host.Port());
        slow.Send("GET /kzo-match-history/v1/web-url HTTP/1.1\r\nHo");
        KzoHost::Testing::LoopbackClient silent(host.Port());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // all three accepted
        host.Signal(c.signal);
        EXPECT_EQ(host.ExitWithin(std::chrono::seconds(2)), 0)
            << c.description << ": " << host.Said();
        EXPECT_NE(host.Said().find("plugin-host: stopped and unloaded"), std::string::npos)
            << c.description << ": " << host.Said();
        EXPECT_TRUE(slow.EndsWithin(std::chrono::seconds(1))) << c.description;
    }
}

TEST(PluginHostCommandTest, ServingGoesOnWhenTheLogsReaderHasGone) {
    ServingHost host;
    ASSERT_TRUE(host.WaitFor("Ctrl-C stops", std::chrono::seconds(20))) << host.Said();
    const int port = host.Port();
    host.CloseStandardError();
    for (int i = 0; i < 3; ++i) {  // each request logs a line into the broken pipe
        KzoHost::Testing::LoopbackClient client(port);
        const auto reply = client.Request("GET", "/kzo-match-history/v1/web-url");
        ASSERT_TRUE(reply.has_value()) << "request " << i;
        EXPECT_EQ(reply->status, 200) << "request " << i;
    }
    host.Signal(SIGTERM);
    EXPECT_EQ(host.ExitWithin(std::chrono::seconds(2)), 0);
}

TEST(PluginHostCommandTest, ServeTakesItsLimitsFromTheCommandLine) {
    ServingHost host({"--max-connections", "1", "--idle-timeout", "0.2"});
    ASSERT_TRUE(host.WaitFor("Ctrl-C stops", std::chrono::seconds(20))) << host.Said();
    KzoHost::Testing::LoopbackClient first(host.Port());
    ASSERT_TRUE(first.Request("GET", "/kzo-match-history/v1/web-url").has_value());
    KzoHost::Testing::LoopbackClient second(host.Port());
    const auto refused = second.Read(std::chrono::seconds(2));
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->status, 503);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(first.EndsWithin(std::chrono::seconds(2))) << "idle beyond 0.2 s";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    host.Signal(SIGTERM);
    EXPECT_EQ(host.ExitWithin(std::chrono::seconds(2)), 0) << host.Said();
}

TEST(PluginHostCommandTest, ASecondCtrlCExitsAtOnce) {
    ServingHost host;
    ASSERT_TRUE(host.WaitFor("Ctrl-C stops", std::chrono::seconds(20))) << host.Said();
    host.Signal(SIGINT);
    ASSERT_TRUE(host.WaitFor("again to exit at once", std::chrono::seconds(2))) << host.Said();
    host.Signal(SIGINT);
    const int exitCode = host.ExitWithin(std::chrono::seconds(2));
    // Either the second signal or the orderly stop ended it first.
    EXPECT_TRUE(exitCode == 0 || exitCode == 128 + SIGINT) << exitCode << ": " << host.Said();
}

TEST(PluginHostCommandTest, ABusyPortIsAClearErrorWithANonZeroExit) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));

    ServingHost host({"--port", port});
    EXPECT_EQ(host.ExitWithin(std::chrono::seconds(20)), 1) << host.Said();
    EXPECT_NE(host.Said().find("plugin-host: cannot listen on 127.0.0.1 port " + port +
                               ": Address already in use"),
              std::string::npos)
        << host.Said();
    close(listener);
}

}  // namespace
