// The reference host's HTTP server on a free loopback port, driven over real
// sockets with the real plug-in and the sample peers, by well-behaved and by
// hostile clients.
#include "host/http_server.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtimes' count of live heap bytes, for which gcc installs no
// header.
extern "C" size_t
__sanitizer_get_current_allocated_bytes();  // NOLINT(bugprone-reserved-identifier)
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "codecs/json_reader.h"
#include "tests/host/loopback_client.h"

namespace KzoHost {
namespace {

using namespace std::chrono_literals;
using Testing::HttpReply;
using Testing::LoopbackClient;
using Clock = std::chrono::steady_clock;

constexpr const char* kGame = "/kzo-match-history/v1/games/3037071829";
constexpr const char* kWebUrl = "/kzo-match-history/v1/web-url";
constexpr const char* kSession = "/kzo-login/v1/session";
constexpr const char* kConfiguration = "/kzo-platform-config/v1/namespaces/NewMatchHistory";

/// What `plugin-host call TARGET` prints on standard output, without the
/// line end.
[[nodiscard]] std::string HostCallOutput(const std::string& target) {
    const std::string command = std::string(KZO_HOST_PATH) + " call '" + target + "' 2>/dev/null";
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

[[nodiscard]] Nimbel::BindingProperty Json(const std::string& text) {
    Nimbel::BindingStatus parsed = Nimbel::JsonToValue(text.c_str());
    EXPECT_TRUE(parsed.Ok()) << parsed.ErrorMessage() << " in " << text.substr(0, 200);
    return std::move(parsed.Value());
}

/// Whether `reply` is an error answer of the house shape: exactly a message
/// text and the status as a number.
void ExpectErrorShape(const HttpReply& reply, int status, const std::string& description) {
    EXPECT_EQ(reply.status, status) << description << ": " << reply.body.substr(0, 200);
    EXPECT_EQ(reply.Header("content-type"), "application/json") << description;
    const Nimbel::BindingProperty error = Json(reply.body);
    ASSERT_EQ(error.Kind(), Nimbel::BindingPropertyKind::Structure) << description;
    EXPECT_EQ(error.Size(), 2u) << description << ": " << reply.body;
    EXPECT_EQ(error["status"].ToString(), std::to_string(status)) << description;
    EXPECT_EQ(error["message"].Kind(), Nimbel::BindingPropertyKind::String) << description;
}

/// The local addresses (hex, as the kernel lists them) of the TCP sockets
/// listening on `port`.
[[nodiscard]] std::vector<std::string> ListeningAddresses(int port) {
    std::vector<std::string> addresses;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot;
            std::string local;
            std::string remote;
            std::string state;
            fields >> slot >> local >> remote >> state;
            const size_t colon = local.rfind(':');
            if (colon == std::string::npos || state != "0A") continue;  // 0A: listening
            if (std::stoi(local.substr(colon + 1), nullptr, 16) == port)
                addresses.push_back(local.substr(0, colon));
        }
    }
    return addresses;
}

/// This process's resident memory in bytes.
[[nodiscard]] size_t ResidentBytes() {
    std::ifstream in("/proc/self/statm");
    size_t total = 0;
    size_t resident = 0;
    in >> total >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

/// Memory this process still holds for its own use. A sanitizer's allocator
/// keeps freed blocks (AddressSanitizer's quarantine holds up to 256 MiB), so
/// there resident memory says nothing about what was given back and the live
/// heap is asked instead.
[[nodiscard]] size_t HeldBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return ResidentBytes();
#endif
}

class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override { Serve(KZO_DEFAULT_DATA_DIR); }
    void TearDown() override { Stop(); }

    /// A new session answering from `dataFolder` (and canned answers from
    /// `peersFolder`, if any), served with the default limits.
    void Serve(const std::filesystem::path& dataFolder,
               const std::filesystem::path& peersFolder = {}) {
        Stop();
        session_.reset();
        SessionOptions options;
        options.pluginPath = KZO_PLUGIN_PATH;
        options.dataFolder = dataFolder;
        options.peersFolder = peersFolder;
        options.logSink = [this](KzoWord, const char* text) {
            const std::lock_guard lock(logLock_);
            log_ += text;
            log_ += '\n';
        };
        std::string error;
        session_ = PluginSession::Open(options, error);
        ASSERT_NE(session_, nullptr) << error;
        Start({});
    }

    [[nodiscard]] std::string Log() {
        const std::lock_guard lock(logLock_);
        return log_;
    }
    /// The server's lines, one per request answered.
    [[nodiscard]] std::string RequestLog() {
        const std::lock_guard lock(logLock_);
        return requestLog_;
    }

    void Start(HttpServerLimits limits, const std::string& address = HttpServer::kDefaultAddress) {
        Stop();
        server_ = std::make_unique<HttpServer>(*session_, limits, [this](const std::string& line) {
            const std::lock_guard lock(logLock_);
            requestLog_ += line + '\n';
        });
        std::string error;
        ASSERT_TRUE(server_->Bind(address, 0, error)) << error;
        serving_ = std::thread([this] { server_->Run(); });
    }
    void Stop() {
        if (server_ != nullptr) server_->Stop();
        if (serving_.joinable()) serving_.join();
        server_.reset();
    }

    [[nodiscard]] int Port() const { return server_->Port(); }

    /// One request on a connection of its own.
    [[nodiscard]] HttpReply Ask(const std::string& method, const std::string& target,
                                const std::string& body = {}, const std::string& headers = {}) {
        LoopbackClient client(Port());
        const auto reply = client.Request(method, target, body, headers);
        EXPECT_TRUE(reply.has_value()) << method << " " << target;
        return reply.value_or(HttpReply{});
    }

    /// Sends raw bytes on a connection of its own and reads one answer.
    [[nodiscard]] HttpReply AskRaw(const std::string& bytes) {
        LoopbackClient client(Port());
        client.Send(bytes);
        const auto reply = client.Read();
        EXPECT_TRUE(reply.has_value()) << bytes.substr(0, 80);
        return reply.value_or(HttpReply{});
    }

    std::mutex logLock_;
    std::string log_;
    std::string requestLog_;
    std::unique_ptr<PluginSession> session_;
    std::unique_ptr<HttpServer> server_;
    std::thread serving_;
};

// ---- Answers ----

TEST_F(HttpServerTest, EveryEndpointAnswersOverHttp) {
    struct Case {
        const char* path;
        int status;
        const char* member;  ///< a member the answer must have; null: any JSON
    };
    const Case cases[] = {
        {"/kzo-match-history/v1/matchlist", 200, "games"},
        {"/kzo-match-history/v1/friend-matchlists/200000", 200, "accountId"},
        {"/kzo-match-history/v1/delta", 200, "deltas"},
        {kGame, 200, "participants"},
        {"/kzo-match-history/v1/game-timelines/3037071829", 200, "frames"},
        {"/kzo-match-history/v1/recently-played-summoners", 200, nullptr},
        {kWebUrl, 200, nullptr},
        {"/kzo-match-history/v1/games/1", 404, "message"},
        // A path argument that does not convert is the caller's fault, and so
        // is one that holds a NUL.
        {"/kzo-match-history/v1/games/x", 400, "message"},
        {"/kzo-match-history/v1/games/3037071829%00junk", 400, "message"},
        {"/kzo-match-history/v1/nothing-here", 404, "message"},
        {"/somewhere/else", 404, "message"},
        {"/kzo-acs/v1/delta", 200, "deltas"},
        {kSession, 200, "accountId"},
        {kConfiguration, 200, "Enabled"},
        {"/kzo-summoner/v2/summoner-names?ids=28034063,86397250", 200, nullptr},
    };
    LoopbackClient client(Port());
    for (const Case& c : cases) {
        const auto reply = client.Request("GET", c.path);
        ASSERT_TRUE(reply.has_value()) << c.path;
        EXPECT_EQ(reply->status, c.status) << c.path << ": " << reply->body.substr(0, 200);
        const Nimbel::BindingProperty answer = Json(reply->body);
        if (c.member != nullptr) {
            EXPECT_NE(answer.FindMember(c.member), nullptr) << c.path;
        }
        if (c.status != 200) ExpectErrorShape(*reply, c.status, c.path);
    }
    EXPECT_EQ(Ask("GET", kWebUrl).body, R"("http://localhost:8080/match-history/")");
    EXPECT_EQ(Ask("GET", "/kzo-summoner/v2/summoner-names?ids=28034063,86397250").body,
              R"([{"displayName":"Player 0001"},{"displayName":"Player 0002"}])");
    EXPECT_EQ(Json(Ask("GET", "/kzo-match-history/v1/recently-played-summoners").body).Size(), 24u);
}

TEST_F(HttpServerTest, ThePluginsOwnStatusesPassThroughUnchanged) {
    // 404 and 409 are the plug-in's own answers, 500 its answer while the
    // feature is switched off; the host passes each on with its message.
    EXPECT_EQ(Ask("GET", "/kzo-match-history/v1/games/1").status, 404);
    // An argument that does not bind is the caller's fault: the plug-in's 400
    // and its message arrive as they are.
    const HttpReply badArgument = Ask("GET", "/kzo-match-history/v1/games/x");
    EXPECT_EQ(badArgument.status, 400);
    EXPECT_NE(badArgument.body.find("incorrect format"), std::string::npos) << badArgument.body;
    ASSERT_EQ(Ask("DELETE", kSession).status, 204);
    const HttpReply loggedOut = Ask("GET", "/kzo-match-history/v1/recently-played-summoners");
    EXPECT_EQ(loggedOut.status, 409);
    EXPECT_EQ(loggedOut.body, R"({"message":"Player not logged in","status":409})");
    EXPECT_EQ(Ask("GET", kSession).status, 404);
    EXPECT_EQ(
        Ask("PUT", kSession, R"({"state":"SUCCEEDED","summonerId":28034063,"accountId":200000})")
            .status,
        200);
    EXPECT_EQ(Ask("GET", "/kzo-match-history/v1/recently-played-summoners").status, 200);

    ASSERT_EQ(Ask("PUT", kConfiguration,
                  R"({"Enabled":false,"MatchHistoryWebURL":"https://example.test/"})")
                  .status,
              200);
    const HttpReply off = Ask("GET", kGame);
    EXPECT_EQ(off.status, 500);
    EXPECT_EQ(off.body, R"({"message":"New Match History is not enabled","status":500})");
    EXPECT_EQ(Ask("GET", kWebUrl).body, R"("https://example.test/")");
    EXPECT_EQ(Ask("DELETE", kConfiguration).status, 204);
    EXPECT_EQ(Ask("GET", kGame).status, 200);
}

// What the host stores, the plug-in sees: its change event carries the value
// one level down, so a value nested to the plug-in's limit is refused.
TEST_F(HttpServerTest, AConfigurationTooDeepForItsChangeEventIsRefused) {
    const auto nested = [](int levels) {
        std::string text;
        for (int i = 1; i < levels; ++i) text += R"({"Deeper":)";
        text += R"({"Enabled":false})";
        return text + std::string(static_cast<size_t>(levels - 1), '}');
    };
    struct Case {
        int levels;
        int status;
        int gameStatus;  // 500 once the plug-in took the configuration that disables it
    };
    const Case cases[] = {{999, 200, 500}, {1000, 400, 200}};
    for (const Case& c : cases) {
        ASSERT_EQ(Ask("DELETE", kConfiguration).status, 204);
        ASSERT_EQ(Ask("GET", kGame).status, 200);
        const HttpReply stored = Ask("PUT", kConfiguration, nested(c.levels));
        EXPECT_EQ(stored.status, c.status) << c.levels << ": " << stored.body.substr(0, 200);
        EXPECT_EQ(Ask("GET", kGame).status, c.gameStatus) << c.levels;
    }
}

// Stored texts hold no NUL, so a body with one is refused and changes nothing.
TEST_F(HttpServerTest, AStoredDocumentWithANulIsRefused) {
    struct Case {
        const char* description;
        std::string body;
        int status;
    };
    const Case cases[] = {
        {"an escaped NUL in a key", R"({"Enabled\u0000junk":false})", 400},
        {"keys that differ after an escaped NUL", R"({"a\u0000x":1,"a\u0000y":2})", 400},
        {"an escaped NUL in a string", R"({"Enabled":false,"MatchHistoryWebURL":"a\u0000"})", 400},
        {"a raw NUL after the document", std::string(R"({"Enabled":false})") + '\0', 400},
        {"an escaped backslash before u0000 is no NUL", R"({"Enabled":false,"x":"\\u0000"})", 200},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Ask("DELETE", kConfiguration).status, 204);
        const HttpReply stored = Ask("PUT", kConfiguration, c.body);
        EXPECT_EQ(stored.status, c.status) << c.description << ": " << stored.body;
        EXPECT_EQ(Ask("GET", kGame).status, c.status == 200 ? 500 : 200)
            << c.description << ": the plug-in's configuration";
    }
}

/// A copy of the sample data folder, removed at the end of the test.
class DataFolderCopy {
public:
    DataFolderCopy()
        : path_(std::filesystem::temp_directory_path() /
                ("kzo-http-data-" + std::to_string(getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(path_);
        std::filesystem::copy(KZO_DEFAULT_DATA_DIR, path_,
                              std::filesystem::copy_options::recursive);
    }
    ~DataFolderCopy() { std::filesystem::remove_all(path_); }
    DataFolderCopy(const DataFolderCopy&) = delete;
    DataFolderCopy& operator=(const DataFolderCopy&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    void Write(const char* name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary | std::ios::trunc) << text;
    }
    void Remove(const char* name) const { std::filesystem::remove(path_ / name); }

private:
    std::filesystem::path path_;
};

// An edit of the session or configuration file reaches the plug-in as the
// change event a PUT or DELETE sends, by the next request.
TEST_F(HttpServerTest, EditsOfTheSessionAndConfigurationFilesReachThePlugin) {
    const DataFolderCopy folder;
    Serve(folder.Path());
    constexpr const char* kRecent = "/kzo-match-history/v1/recently-played-summoners";
    struct Step {
        const char* description;
        std::function<void()> edit;
        int gameStatus;
        int recentStatus;
    };
    const Step steps[] = {
        {"as shipped", [] {}, 200, 200},
        {"disabled", [&] { folder.Write("config.json", R"({"Enabled":false})"); }, 500, 200},
        {"a configuration that is not JSON changes nothing",
         [&] { folder.Write("config.json", "{not json"); }, 500, 200},
        {"configuration removed", [&] { folder.Remove("config.json"); }, 200, 200},
        {"session removed", [&] { folder.Remove("session.json"); }, 200, 409},
        {"session back",
         [&] {
             folder.Write("session.json",
                          R"({"state":"SUCCEEDED","summonerId":28034063,"accountId":200000})");
         },
         200, 200},
        {"enabled again", [&] { folder.Write("config.json", R"({"Enabled":true})"); }, 200, 200},
    };
    for (const Step& step : steps) {
        step.edit();
        EXPECT_EQ(Ask("GET", kGame).status, step.gameStatus) << step.description;
        EXPECT_EQ(Ask("GET", kRecent).status, step.recentStatus) << step.description;
    }
}

// A file that is there but cannot be opened is no missing file: with the
// descriptors used up, a game that exists answers 503 and is logged.
TEST_F(HttpServerTest, AFileThatCannotBeOpenedAnswers503NotNotFound) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizer runtimes open descriptors of their own while they check a
    // call (UndefinedBehaviorSanitizer's type check reported a false object
    // inside Beast once none was left), so the limit is left to other builds.
    GTEST_SKIP() << "the sanitizer runtimes need descriptors of their own";
#endif
    constexpr const char* kPeerGame = "/kzo-acs/v1/games/3037071829";
    const DataFolderCopy folder;  // files just written, so none is kept from an earlier read
    Serve(folder.Path());
    LoopbackClient client(Port());
    ASSERT_EQ(client.Request("GET", kWebUrl).value_or(HttpReply{}).status, 200);
    // The connection is open; a lowered limit and the descriptors left under
    // it held, no other can be.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit lowered{static_cast<rlim_t>(dup(0)) + 16, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> held{static_cast<int>(lowered.rlim_cur) - 16};
    for (int descriptor; (descriptor = dup(0)) >= 0;) held.push_back(descriptor);
    const std::optional<HttpReply> peer = client.Request("GET", kPeerGame);
    const std::optional<HttpReply> game = client.Request("GET", kGame);
    for (const int descriptor : held) close(descriptor);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    ASSERT_TRUE(peer.has_value() && game.has_value());
    EXPECT_EQ(peer->status, 503) << peer->body.substr(0, 200);
    EXPECT_NE(peer->body.find("games/3037071829.json cannot be read"), std::string::npos)
        << peer->body.substr(0, 200);
    EXPECT_NE(game->status, 404) << game->body.substr(0, 200);
    EXPECT_NE(Log().find("games/3037071829.json cannot be read: Too many open files"),
              std::string::npos)
        << Log();
    EXPECT_EQ(Ask("GET", kPeerGame).status, 200);
}

// A peer's 204 or 304 goes out with its status and without a body, so the
// next answer on the connection is read whole and first.
TEST_F(HttpServerTest, APeersAnswerWithoutContentKeepsItsStatusAndSendsNoBody) {
    const DataFolderCopy folder;
    const std::filesystem::path peers = folder.Path() / "canned";
    std::filesystem::create_directories(peers / "GET/kzo-acs/v9");
    struct Case {
        const char* name;
        const char* file;
        int status;
        const char* body;
    };
    const Case cases[] = {
        {"empty", R"({"status":204,"body":{"a":1}})", 204, ""},
        {"same", R"({"status":304,"body":"x"})", 304, ""},
        {"made", R"({"status":201,"body":{"a":1}})", 201, R"({"a":1})"},
    };
    for (const Case& c : cases)
        std::ofstream(peers / "GET/kzo-acs/v9" / (std::string(c.name) + ".json")) << c.file;
    Serve(folder.Path(), peers);
    for (const Case& c : cases) {
        LoopbackClient client(Port());
        const auto reply = client.Request("GET", std::string("/kzo-acs/v9/") + c.name);
        ASSERT_TRUE(reply.has_value()) << c.name;
        EXPECT_EQ(reply->status, c.status) << c.name;
        EXPECT_EQ(reply->body, c.body) << c.name;
        if (c.status != 201) {
            EXPECT_EQ(reply->Header("content-length"), "") << c.name;
        }
        const auto next = client.Request("GET", kWebUrl);
        ASSERT_TRUE(next.has_value()) << c.name;
        EXPECT_EQ(next->status, 200) << c.name;
        EXPECT_EQ(client.Unread(), "") << c.name;
    }
}

TEST_F(HttpServerTest, TheTargetReachesThePluginDecodedOnceAsTheHostCallSendsIt) {
    // The HTTP server hands the target on as sent; the plug-in decodes it,
    // once. Whatever the plug-in answers over HTTP, the session answers the
    // same to the request as `plugin-host call` makes it.
    struct Case {
        const char* description;
        const char* target;
        int status;  ///< 0: whatever the plug-in says, as long as both agree
    };
    const Case cases[] = {
        {"digits encoded once read as the account",
         "/kzo-match-history/v1/friend-matchlists/%32%30%30000", 200},
        {"an encoded percent sign stays a percent sign",
         "/kzo-match-history/v1/friend-matchlists/%253200000", 0},
        {"a letter in a number", "/kzo-match-history/v1/games/x", 0},
        {"an encoded slash is not a separator", "/kzo-match-history/v1/games/30370%2F71829", 0},
    };
    for (const Case& c : cases) {
        const HttpReply overHttp = Ask("GET", c.target);
        HostRequest request;
        request.path = c.target;
        const HostAnswer direct = session_->Handle(request);
        EXPECT_EQ(overHttp.status, direct.status) << c.description;
        EXPECT_EQ(overHttp.body, direct.json) << c.description;
        EXPECT_EQ(HostCallOutput(c.target), overHttp.body) << c.description;
        if (c.status != 0) {
            EXPECT_EQ(overHttp.status, c.status) << c.description;
        }
        if (c.status == 0) {
            EXPECT_NE(overHttp.status, 200) << c.description << ": " << overHttp.body;
            ExpectErrorShape(overHttp, overHttp.status, c.description);
        }
    }
}

TEST_F(HttpServerTest, OpenApiListsTheSevenPaths) {
    const HttpReply reply = Ask("GET", "/openapi.json");
    ASSERT_EQ(reply.status, 200);
    const Nimbel::BindingProperty document = Json(reply.body);
    EXPECT_EQ(document["openapi"].GetString().substr(0, 2), "3.");
    size_t paths = 0;
    for (const auto& path : document["paths"].Members())
        paths += path.Name().starts_with("/kzo-match-history/v1/");
    EXPECT_EQ(paths, 7u);
}

TEST_F(HttpServerTest, HeadAnswersWhereverGetDoesWithoutTheBody) {
    for (const char* path :
         {kGame, "/openapi.json", kSession, "/kzo-acs/v1/delta", "/kzo-match-history/v1/games/1"}) {
        const HttpReply get = Ask("GET", path);
        LoopbackClient client(Port());
        const auto head = client.Request("HEAD", path);
        ASSERT_TRUE(head.has_value()) << path;
        EXPECT_EQ(head->status, get.status) << path;
        EXPECT_EQ(head->Header("content-length"), std::to_string(get.body.size())) << path;
        // Nothing follows the header: the next answer on the connection is
        // read whole and first.
        const auto next = client.Request("GET", kWebUrl);
        ASSERT_TRUE(next.has_value()) << path;
        EXPECT_EQ(next->status, 200) << path;
        EXPECT_EQ(client.Unread(), "") << path;
    }
}

TEST_F(HttpServerTest, MethodNotAllowedNamesTheMethodsServed) {
    struct Case {
        const char* method;
        const char* path;
        const char* allow;
    };
    const Case cases[] = {
        {"POST", "/kzo-match-history/v1/delta", "GET, HEAD"},
        {"DELETE", kGame, "GET, HEAD"},
        {"POST", kSession, "GET, HEAD, PUT, DELETE"},
        {"PATCH", kConfiguration, "GET, HEAD, PUT, DELETE"},
        {"GET", "/kzo-login/v1/session/invoke", "POST"},
        {"PUT", "/kzo-acs/v1/games/3037071829", "GET, HEAD"},
        {"POST", "/openapi.json", "GET, HEAD"},
        {"BREW", kWebUrl, "GET, HEAD"},
    };
    for (const Case& c : cases) {
        const std::string description = std::string(c.method) + " " + c.path;
        const HttpReply reply = Ask(c.method, c.path, c.method == std::string("PUT") ? "[]" : "");
        ExpectErrorShape(reply, 405, description);
        EXPECT_EQ(reply.Header("allow"), c.allow) << description;
    }
}

// Every error answer has the JSON shape, and its log line names the method
// and path whenever the request line was read, even when the refusal came
// before the rest of the header.
TEST_F(HttpServerTest, EveryErrorAnswerHasTheJsonShape) {
    ASSERT_EQ(Ask("PUT", kConfiguration, R"({"Enabled":false})").status, 200);
    struct Case {
        const char* description;
        std::string request;
        int status;
        const char* logged;
    };
    const Case cases[] = {
        {"a request line that is not HTTP", "NOT HTTP AT ALL\r\n\r\n", 400, "- - -> 400"},
        {"no Host in HTTP/1.1", "GET /openapi.json HTTP/1.1\r\n\r\n", 400,
         "GET /openapi.json -> 400"},
        {"a target that is not a path",
         "GET http://127.0.0.1/openapi.json HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 400,
         "GET http://127.0.0.1/openapi.json -> 400"},
        {"an unknown path", LoopbackClient::Format("GET", "/nowhere"), 404, "GET /nowhere -> 404"},
        {"a method not served", LoopbackClient::Format("POST", kGame), 405,
         "POST /kzo-match-history/v1/games/3037071829 -> 405"},
        {"a body too large",
         "PUT /kzo-login/v1/session HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2000000\r\n\r\n",
         413, "PUT /kzo-login/v1/session -> 413"},
        {"a target too long", LoopbackClient::Format("GET", "/" + std::string(9000, 'a')), 414,
         "GET /aaaa"},
        {"a request line too long", "GET /" + std::string(70'000, 'a') + " HTTP/1.1\r\n\r\n", 414,
         "- - -> 414"},
        {"a foreign Host", "GET /openapi.json HTTP/1.1\r\nHost: example.test\r\n\r\n", 421,
         "GET /openapi.json -> 421"},
        {"a header too large",
         LoopbackClient::Format("GET", kWebUrl, {}, "X-Big: " + std::string(70'000, 'b') + "\r\n"),
         431, "GET /kzo-match-history/v1/web-url -> 431"},
        {"the feature switched off", LoopbackClient::Format("GET", kGame), 500,
         "GET /kzo-match-history/v1/games/3037071829 -> 500"},
    };
    for (const Case& c : cases) {
        ExpectErrorShape(AskRaw(c.request), c.status, c.description);
        EXPECT_NE(RequestLog().find(c.logged), std::string::npos) << c.description << ":\n"
                                                                  << RequestLog();
    }
}

// ---- Limits ----

TEST_F(HttpServerTest, RequestsBeyondTheLimitsAreRefusedWithTheirStatus) {
    std::string hundredFields;
    for (int i = 0; i < 99; ++i) hundredFields += "X-F" + std::to_string(i) + ": v\r\n";
    const std::string hundredOneFields = hundredFields + "X-Last: v\r\nX-Over: v\r\n";
    const std::string chunkedTooLarge =
        "PUT /kzo-login/v1/session HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: "
        "chunked\r\n\r\n" +
        std::string("100000\r\n") + std::string(0x100000, ' ') + "\r\n10\r\n" +
        std::string(16, ' ') + "\r\n0\r\n\r\n";
    struct Case {
        const char* description;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"100 header fields (Host the 100th)",
         LoopbackClient::Format("GET", kWebUrl, {}, hundredFields), 200},
        {"102 header fields", LoopbackClient::Format("GET", kWebUrl, {}, hundredOneFields), 431},
        {"a header just under 64 KiB",
         LoopbackClient::Format("GET", kWebUrl, {}, "X-Big: " + std::string(60'000, 'b') + "\r\n"),
         200},
        {"a header over 64 KiB",
         LoopbackClient::Format("GET", kWebUrl, {}, "X-Big: " + std::string(66'000, 'b') + "\r\n"),
         431},
        {"a target of 8 KiB", LoopbackClient::Format("GET", "/" + std::string(8191, 'a')), 404},
        {"a target over 8 KiB", LoopbackClient::Format("GET", "/" + std::string(8192, 'a')), 414},
        {"a request line over 64 KiB",
         "GET /" + std::string(70'000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 414},
        {"a body of 1 MiB is admitted (and the delta answers GET only)",
         LoopbackClient::Format("POST", "/kzo-acs/v1/delta", std::string(1 << 20, ' ')), 405},
        {"a body over 1 MiB",
         LoopbackClient::Format("POST", "/kzo-acs/v1/delta", std::string((1 << 20) + 1, ' ')), 413},
        {"a chunked body over 1 MiB", chunkedTooLarge, 413},
    };
    for (const Case& c : cases) {
        const HttpReply reply = AskRaw(c.request);
        EXPECT_EQ(reply.status, c.status) << c.description << ": " << reply.body.substr(0, 200);
    }
}

// Chunked bodies keep the header's limits in their trailer and a small one on
// chunk extensions, and a body framed by any other coding is not read at all.
TEST_F(HttpServerTest, ChunkedBodiesAndTransferCodingsKeepTheirLimits) {
    const auto chunked = [](const std::string& coding, const std::string& chunks) {
        return "POST /kzo-acs/v1/delta HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: " +
               coding + "\r\n\r\n" + chunks;
    };
    std::string manyTrailers;
    for (int i = 0; i < 99; ++i) manyTrailers += "X-T" + std::to_string(i) + ": v\r\n";
    struct Case {
        const char* description;
        std::string request;
        int status;
    };
    // The delta peer answers GET only: 405 means the request was read whole.
    const Case cases[] = {
        {"a chunked body with a trailer", chunked("chunked", "2\r\n{}\r\n0\r\nX-T: v\r\n\r\n"),
         405},
        {"chunked in any case, between blanks", chunked(" Chunked ", "2\r\n{}\r\n0\r\n\r\n"), 405},
        {"chunk extensions of 4 KiB",
         chunked("chunked", "2;x=" + std::string(4092, 'e') + "\r\n{}\r\n0\r\n\r\n"), 405},
        {"chunk extensions over 4 KiB",
         chunked("chunked", "2;x=" + std::string(5000, 'e') + "\r\n{}\r\n0\r\n\r\n"), 400},
        {"an unfinished chunk extension of 600 KB",
         chunked("chunked", "2;x=" + std::string(600'000, 'e')), 400},
        {"a trailer over 64 KiB",
         chunked("chunked", "0\r\nX-T: " + std::string(70'000, 't') + "\r\n\r\n"), 431},
        {"an unfinished trailer of 600 KB",
         chunked("chunked", "0\r\nX-T: " + std::string(600'000, 't')), 431},
        {"header and trailer fields over 100 together",
         chunked("chunked", "0\r\n" + manyTrailers + "\r\n"), 431},
        {"gzip", chunked("gzip", "{}"), 501},
        {"an unknown coding", chunked("foo", "{}"), 501},
        {"chunked, then gzip", chunked("chunked, gzip", "2\r\n{}\r\n0\r\n\r\n"), 501},
        {"gzip, then chunked", chunked("gzip, chunked", "2\r\n{}\r\n0\r\n\r\n"), 501},
    };
    for (const Case& c : cases) {
        const HttpReply reply = AskRaw(c.request);
        EXPECT_EQ(reply.status, c.status) << c.description << ": " << reply.body.substr(0, 200);
    }
}

// A body the server cannot frame would otherwise run as the next request.
TEST_F(HttpServerTest, ABodyOfAnUnknownCodingIsNeverReadAsTheNextRequest) {
    const std::string smuggled = LoopbackClient::Format("DELETE", "/kzo-login/v1/session");
    LoopbackClient client(Port());
    client.Send(
        "POST /kzo-acs/v1/delta HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: "
        "gzip\r\n\r\n" +
        smuggled);
    const auto refused = client.Read();
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->status, 501);
    EXPECT_TRUE(client.EndsWithin(3s)) << "the connection closes after the refusal";
    EXPECT_EQ(Ask("GET", "/kzo-login/v1/session").status, 200) << "the player is still logged in";
}

// Draining a refused connection has one deadline, however the client trickles.
TEST_F(HttpServerTest, ARefusedClientThatTricklesIsClosedAfterTheDrainTime) {
    LoopbackClient client(Port());
    client.Send(
        LoopbackClient::Format("GET", kWebUrl, {}, "X-Big: " + std::string(66'000, 'b') + "\r\n"));
    const auto refused = client.Read();
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->status, 431);
    const auto start = std::chrono::steady_clock::now();
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() - start < 6s) {
        client.Send("x");
        ended = client.EndsWithin(400ms);
    }
    EXPECT_TRUE(ended);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3500ms) << "closed after about 2 s";
}

TEST_F(HttpServerTest, AHeaderFloodIsCutOffAndMemoryStaysFlat) {
    // Warm up, then flood from several connections at once while others are
    // served; every flood ends at the header limit.
    EXPECT_EQ(Ask("GET", kWebUrl).status, 200);
    const size_t before = ResidentBytes();
    const std::string line = "X-Flood: " + std::string(1000, 'f') + "\r\n";
    std::string block;
    for (int i = 0; i < 64; ++i) block += line;
    std::vector<std::thread> flooders;
    std::atomic<int> cutOff{0};
    for (int f = 0; f < 8; ++f) {
        flooders.emplace_back([&] {
            LoopbackClient client(Port());
            client.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
            size_t sent = 0;
            // 50 MiB at most; the server stops reading long before that.
            while (sent < 50u << 20 && client.Send(block)) sent += block.size();
            if (sent < 50u << 20 || client.EndsWithin(2s)) ++cutOff;
        });
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Ask("GET", kWebUrl).status, 200);
    for (std::thread& flooder : flooders) flooder.join();
    EXPECT_EQ(cutOff.load(), 8);
    EXPECT_LT(ResidentBytes(), before + (32u << 20)) << "resident memory grew by more than 32 MiB";
}

TEST_F(HttpServerTest, ALargeBodyToAPeerPathCostsLittleMemory) {
    // 1 MiB of empty objects, each of which would be an argument of its own.
    std::string objects = "[{}";
    while (objects.size() < (1u << 20) - 4) objects += ",{}";
    objects += "]";
    struct Case {
        const char* description;
        const char* method;
        const char* path;
        int status;
    };
    const Case cases[] = {
        {"a path that takes no arguments does not read the body", "GET", "/kzo-acs/v1/delta", 200},
        {"a path that takes three refuses more", "POST", "/kzo-login/v1/session/invoke", 400},
        {"a path that takes one refuses more", "GET", "/kzo-summoner/v2/summoner-names", 400},
    };
    EXPECT_EQ(Ask("GET", kWebUrl).status, 200);
    const size_t before = ResidentBytes();
    const size_t heldBefore = HeldBytes();
    for (const Case& c : cases) {
        const HttpReply reply = Ask(c.method, c.path, objects);
        EXPECT_EQ(reply.status, c.status) << c.description << ": " << reply.body.substr(0, 200);
    }
    // ThreadSanitizer's shadow memory grows with every byte touched, several
    // times over, so there the peak says nothing of the request's own cost.
#if !defined(__SANITIZE_THREAD__)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const size_t peak = static_cast<size_t>(usage.ru_maxrss) * 1024;
    EXPECT_LT(peak, before + (128u << 20)) << "peak memory grew by 128 MiB or more";
#else
    static_cast<void>(before);
#endif
    EXPECT_LT(HeldBytes(), heldBefore + (32u << 20)) << "memory is held after the answers";
}

// ---- Clients that hold connections ----

TEST_F(HttpServerTest, IdleAndSlowClientsDoNotDelayOthers) {
    std::vector<std::unique_ptr<LoopbackClient>> held;
    for (int i = 0; i < 64; ++i) {
        held.push_back(std::make_unique<LoopbackClient>(Port()));
        ASSERT_TRUE(held.back()->Request("GET", kWebUrl).has_value());  // then idle
    }
    for (int i = 0; i < 64; ++i) {
        held.push_back(std::make_unique<LoopbackClient>(Port()));
        held.back()->Send("GET /kzo-match-history/v1/web-url HTTP/1.1\r\nHo");  // then slow
    }
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        LoopbackClient client(Port());
        const auto reply = client.Request("GET", kGame, {}, {}, 1s);
        ASSERT_TRUE(reply.has_value()) << "not answered within a second";
        EXPECT_EQ(reply->status, 200);
        EXPECT_LT(Clock::now() - start, 1s);
        for (int s = 64; s < 128; ++s) held[static_cast<size_t>(s)]->Send("s");
    }
}

TEST_F(HttpServerTest, IdleAndSlowConnectionsAreClosedAfterTheirTimeouts) {
    HttpServerLimits limits;
    limits.idleTimeout = 200ms;
    limits.headerTimeout = 300ms;
    Start(limits);
    LoopbackClient idle(Port());
    ASSERT_TRUE(idle.Request("GET", kWebUrl).has_value());
    LoopbackClient silent(Port());
    LoopbackClient slow(Port());
    slow.Send("GET /kzo-match-history/v1/web-url HTTP/1.1\r\nHo");
    const auto start = Clock::now();
    EXPECT_TRUE(slow.EndsWithin(3s));
    EXPECT_GE(Clock::now() - start, 250ms) << "closed before its header time was up";
    EXPECT_TRUE(idle.EndsWithin(3s));
    EXPECT_TRUE(silent.EndsWithin(3s));
}

TEST_F(HttpServerTest, ConnectionsBeyondTheCapAreRefusedClearly) {
    HttpServerLimits limits;
    limits.maxConnections = 4;
    Start(limits);
    std::vector<std::unique_ptr<LoopbackClient>> open;
    for (int i = 0; i < 4; ++i) {
        open.push_back(std::make_unique<LoopbackClient>(Port()));
        ASSERT_TRUE(open.back()->Request("GET", kWebUrl).has_value());
    }
    LoopbackClient refused(Port());
    const auto reply = refused.Read(2s);
    ASSERT_TRUE(reply.has_value());
    ExpectErrorShape(*reply, 503, "one connection too many");
    EXPECT_TRUE(refused.EndsWithin(2s));
    // The open ones are still served, and a closed one makes room.
    EXPECT_EQ(open[0]->Request("GET", kWebUrl)->status, 200);
    open.pop_back();
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        LoopbackClient client(Port());
        const auto answer = client.Request("GET", kWebUrl, {}, {}, 1s);
        served = answer.has_value() && answer->status == 200;
        if (!served) std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(served);
}

// ---- Connections ----

TEST_F(HttpServerTest, PipelinedRequestsAreAnsweredInOrder) {
    LoopbackClient client(Port());
    client.Send(LoopbackClient::Format("GET", kWebUrl) + LoopbackClient::Format("GET", "/nowhere") +
                LoopbackClient::Format("HEAD", kGame) + LoopbackClient::Format("GET", kSession));
    const int expected[] = {200, 404, 200, 200};
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto reply = client.Read(2s, i == 2);
        ASSERT_TRUE(reply.has_value()) << "answer " << i;
        EXPECT_EQ(reply->status, expected[i]) << "answer " << i;
    }
}

TEST_F(HttpServerTest, ARequestFollowedByAHalfCloseIsAnswered) {
    struct Case {
        const char* description;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"a GET", LoopbackClient::Format("GET", kWebUrl), 200},
        {"a PUT",
         LoopbackClient::Format("PUT", kSession,
                                R"({"state":"SUCCEEDED","summonerId":5,"accountId":6})"),
         200},
        {"two pipelined GETs",
         LoopbackClient::Format("GET", "/nowhere") + LoopbackClient::Format("GET", kSession), 404},
    };
    for (const Case& c : cases) {
        LoopbackClient client(Port());
        client.Send(c.request);
        client.ShutdownWrite();
        const auto reply = client.Read(2s);
        ASSERT_TRUE(reply.has_value()) << c.description;
        EXPECT_EQ(reply->status, c.status) << c.description;
        EXPECT_TRUE(client.EndsWithin(2s)) << c.description;
    }
    EXPECT_EQ(Json(Ask("GET", kSession).body)["accountId"].ToString(), "6");
}

TEST_F(HttpServerTest, ConnectionCloseClosesAtOnce) {
    LoopbackClient client(Port());
    const auto reply = client.Request("GET", kWebUrl, {}, "Connection: close\r\n");
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->Header("connection"), "close");
    EXPECT_TRUE(client.EndsWithin(500ms));
    LoopbackClient old(Port());
    old.Send("GET /kzo-match-history/v1/web-url HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(old.Read().has_value());
    EXPECT_TRUE(old.EndsWithin(500ms)) << "HTTP/1.0 without keep-alive";
}

TEST_F(HttpServerTest, ABodyAfterExpectContinueIsRead) {
    const std::string body = R"({"state":"SUCCEEDED","summonerId":5,"accountId":7})";
    LoopbackClient client(Port());
    client.Send(
        "PUT /kzo-login/v1/session HTTP/1.1\r\nHost: 127.0.0.1\r\nExpect: 100-continue\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n");
    const auto interim = client.Read(2s);
    ASSERT_TRUE(interim.has_value());
    EXPECT_EQ(interim->status, 100);
    client.Send(body);
    const auto reply = client.Read(2s);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->status, 200) << reply->body;
}

// ---- Writes ----

TEST_F(HttpServerTest, WritesThatThePluginCannotReadChangeNothing) {
    const std::string sessionBefore = Ask("GET", kSession).body;
    const std::string configuration = Ask("GET", kConfiguration).body;
    struct Case {
        const char* description;
        const char* path;
        const char* body;
    };
    const Case cases[] = {
        {"an empty session", kSession, ""},
        {"a blank session", kSession, " \n "},
        {"a session that is null", kSession, "null"},
        {"a session that is an array", kSession, R"([{"accountId":1}])"},
        {"a session that is a number", kSession, "17"},
        {"a session that is not JSON", kSession, "{not json"},
        {"an account that is text", kSession,
         R"({"state":"SUCCEEDED","summonerId":1,"accountId":"abc"})"},
        {"a negative summoner", kSession, R"({"state":"SUCCEEDED","summonerId":-1,"accountId":1})"},
        {"an unknown state", kSession, R"({"state":"DANCING","summonerId":1,"accountId":1})"},
        {"an empty configuration", kConfiguration, ""},
        {"a configuration that is a string", kConfiguration, R"("off")"},
        {"a configuration that is null", kConfiguration, "null"},
    };
    for (const Case& c : cases) {
        const HttpReply reply = Ask("PUT", c.path, c.body);
        ExpectErrorShape(reply, 400, c.description);
    }
    EXPECT_EQ(Ask("GET", kSession).body, sessionBefore);
    EXPECT_EQ(Ask("GET", kConfiguration).body, configuration);
    EXPECT_EQ(Ask("GET", "/kzo-match-history/v1/friend-matchlists/200000").status, 200);
    EXPECT_EQ(Ask("GET", "/kzo-match-history/v1/recently-played-summoners").status, 200);
}

// ---- Addresses ----

TEST_F(HttpServerTest, OnlyRequestsNamingThisMachineAreAnsweredOnLoopback) {
    struct Case {
        const char* host;
        int status;
    };
    const Case cases[] = {
        {"localhost", 200},
        {"LocalHost:8080", 200},
        {"127.0.0.1", 200},
        {"127.0.0.1:1", 200},
        {"[::1]", 200},
        {"[::1]:8080", 200},
        {"example.test", 421},
        {"127.0.0.1.example.test", 421},
        {"localhost.example.test:80", 421},
        {"127.0.0.2", 421},
        {"[::2]", 421},
        {"localhost:http", 421},
        {"localhost:", 421},
        {"", 421},
        {"127.0.0.1:65535", 200},
        {"localhost:00080", 200},
        {"localhost:0", 400},
        {"localhost:65536", 400},
        {"localhost:99999999999999999999", 400},
        {"[::1]:0", 400},
        {"localhost\r\nHost: localhost", 400},
        {"localhost\r\nHost: example.test", 400},
    };
    for (const Case& c : cases) {
        const HttpReply reply =
            AskRaw(std::string("GET /kzo-match-history/v1/web-url HTTP/1.1\r\nHost: ") + c.host +
                   "\r\n\r\n");
        EXPECT_EQ(reply.status, c.status) << "Host: " << c.host;
    }
    EXPECT_EQ(AskRaw("GET /kzo-match-history/v1/web-url HTTP/1.0\r\n\r\n").status, 200)
        << "HTTP/1.0 needs no Host";
}

TEST_F(HttpServerTest, OnlyTheLoopbackAddressIsBoundByDefault) {
    const std::vector<std::string> addresses = ListeningAddresses(Port());
    ASSERT_FALSE(addresses.empty());
    for (const std::string& address : addresses) EXPECT_EQ(address, "0100007F") << "127.0.0.1";
    EXPECT_EQ(server_->Origin(), "http://127.0.0.1:" + std::to_string(Port()));
}

TEST_F(HttpServerTest, IPv6LoopbackIsServedAndPrintedInBrackets) {
    Stop();
    server_ = std::make_unique<HttpServer>(*session_);
    std::string error;
    if (!server_->Bind("::1", 0, error)) GTEST_SKIP() << "no IPv6 loopback here: " << error;
    serving_ = std::thread([this] { server_->Run(); });
    EXPECT_EQ(server_->Origin(), "http://[::1]:" + std::to_string(Port()));
    LoopbackClient client(Port(), true);
    const auto reply = client.Request("GET", kWebUrl);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->status, 200);
}

TEST_F(HttpServerTest, APortInUseIsAnErrorNotShared) {
    HttpServer second(*session_);
    std::string error;
    EXPECT_FALSE(second.Bind(HttpServer::kDefaultAddress, Port(), error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    EXPECT_FALSE(second.Run()) << "an unbound server does not serve";
    HttpServer wrong(*session_);
    EXPECT_FALSE(wrong.Bind("not-an-address", 0, error));
    EXPECT_NE(error.find("not an IP address"), std::string::npos) << error;
}

// ---- Stopping ----

TEST_F(HttpServerTest, StopEndsRunPromptlyWhateverClientsAreAttached) {
    std::vector<std::unique_ptr<LoopbackClient>> held;
    for (int i = 0; i < 16; ++i) {
        held.push_back(std::make_unique<LoopbackClient>(Port()));
        if (i % 2 == 0) {
            ASSERT_TRUE(held.back()->Request("GET", kWebUrl).has_value());
        } else {
            held.back()->Send("GET /kzo-match-history/v1/web-url HTTP/1.1\r\nHo");
        }
    }
    const auto start = Clock::now();
    server_->Stop();
    serving_.join();
    EXPECT_LT(Clock::now() - start, 2s);
    for (const auto& client : held) EXPECT_TRUE(client->EndsWithin(1s));
}

TEST_F(HttpServerTest, AStopAnswersQueuedRequests503WithoutRunningThem) {
    constexpr int kQueued = 20;
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int i = 0; i < kQueued; ++i) {
        clients.push_back(std::make_unique<LoopbackClient>(Port()));
        clients.back()->Send(LoopbackClient::Format("GET", "/kzo-match-history/v1/matchlist"));
    }
    const auto first = clients.front()->Read(10s);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->status, 200);
    server_->Stop();
    // A connection the server had not yet taken when it stopped is dropped;
    // how many those are depends on the machine's load.
    int answered = 0;
    for (size_t i = 1; i < clients.size(); ++i) {
        const auto reply = clients[i]->Read(10s);
        if (!reply.has_value()) continue;  // dropped with its connection
        if (reply->status == 200) ++answered;
        EXPECT_TRUE(reply->status == 200 || reply->status == 503) << reply->status;
    }
    EXPECT_LE(answered, 3) << "only what was inside the plug-in finishes";
}

TEST_F(HttpServerTest, StopBeforeRunReturnsAtOnce) {
    Stop();
    server_ = std::make_unique<HttpServer>(*session_);
    std::string error;
    ASSERT_TRUE(server_->Bind(0, error)) << error;
    server_->Stop();
    const auto start = Clock::now();
    EXPECT_TRUE(server_->Run());
    EXPECT_LT(Clock::now() - start, 1s);
}

}  // namespace
}  // namespace KzoHost
