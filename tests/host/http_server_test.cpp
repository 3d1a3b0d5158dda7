// The reference host's HTTP server on a free loopback port, driven over real
// HTTP with the real plug-in and the sample peers.
#include "host/http_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "codecs/json_reader.h"

namespace KzoHost {
namespace {

[[nodiscard]] Nimbel::BindingProperty Json(const std::string& text) {
    Nimbel::BindingStatus parsed = Nimbel::JsonToValue(text.c_str());
    EXPECT_TRUE(parsed.Ok()) << parsed.ErrorMessage() << " in " << text.substr(0, 200);
    return std::move(parsed.Value());
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
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const size_t colon = local.rfind(':');
            if (colon == std::string::npos || state != "0A") continue;  // 0A: listening
            if (std::stoi(local.substr(colon + 1), nullptr, 16) == port)
                addresses.push_back(local.substr(0, colon));
        }
    }
    return addresses;
}

class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SessionOptions options;
        options.pluginPath = KZO_PLUGIN_PATH;
        options.dataFolder = KZO_DEFAULT_DATA_DIR;
        options.logSink = [](KzoWord, const char*) {};
        std::string error;
        session = PluginSession::Open(options, error);
        ASSERT_NE(session, nullptr) << error;
        server = std::make_unique<HttpServer>(*session);
        ASSERT_TRUE(server->Bind(0, error)) << error;
        serving = std::thread([this] { server->Run(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", server->Port());
    }
    void TearDown() override {
        if (server != nullptr) server->Stop();
        if (serving.joinable()) serving.join();
        server.reset();
        session.reset();
    }

    struct Reply {
        int status = 0;
        std::string body;
    };
    [[nodiscard]] Reply Get(const std::string& path) { return Of(client->Get(path), path); }
    [[nodiscard]] Reply Put(const std::string& path, const std::string& body) {
        return Of(client->Put(path, body, "application/json"), path);
    }
    [[nodiscard]] Reply Delete(const std::string& path) { return Of(client->Delete(path), path); }
    [[nodiscard]] static Reply Of(const httplib::Result& result, const std::string& path) {
        EXPECT_TRUE(result) << path;
        return result ? Reply{result->status, result->body} : Reply{};
    }

    std::unique_ptr<PluginSession> session;
    std::unique_ptr<HttpServer> server;
    std::thread serving;
    std::unique_ptr<httplib::Client> client;
};

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
        {"/kzo-match-history/v1/games/3037071829", 200, "participants"},
        {"/kzo-match-history/v1/game-timelines/3037071829", 200, "frames"},
        {"/kzo-match-history/v1/recently-played-summoners", 200, nullptr},
        {"/kzo-match-history/v1/web-url", 200, nullptr},
        {"/kzo-match-history/v1/games/1", 404, "message"},
        // A path argument that does not convert is the caller's fault, and so
        // is one that holds a NUL.
        {"/kzo-match-history/v1/games/x", 400, "message"},
        {"/kzo-match-history/v1/games/3037071829%00junk", 400, "message"},
        {"/kzo-match-history/v1/nothing-here", 404, "message"},
        {"/somewhere/else", 404, "message"},
        {"/kzo-acs/v1/delta", 200, "deltas"},
        {"/kzo-login/v1/session", 200, "accountId"},
        {"/kzo-platform-config/v1/namespaces/NewMatchHistory", 200, "Enabled"},
        {"/kzo-summoner/v2/summoner-names?ids=28034063,86397250", 200, nullptr},
    };
    for (const Case& c : cases) {
        const Reply reply = Get(c.path);
        EXPECT_EQ(reply.status, c.status) << c.path << ": " << reply.body.substr(0, 200);
        const Nimbel::BindingProperty answer = Json(reply.body);
        if (c.member != nullptr) EXPECT_NE(answer.FindMember(c.member), nullptr) << c.path;
        if (c.status != 200)
            EXPECT_EQ(answer["status"].ToString(), std::to_string(c.status)) << c.path;
    }
    EXPECT_EQ(Get("/kzo-match-history/v1/web-url").body,
              R"("http://localhost:8080/match-history/")");
    EXPECT_EQ(Get("/kzo-summoner/v2/summoner-names?ids=28034063,86397250").body,
              R"([{"displayName":"Player 0001"},{"displayName":"Player 0002"}])");
    EXPECT_EQ(Json(Get("/kzo-match-history/v1/recently-played-summoners").body).Size(), 24u);
    const auto posted = client->Post("/kzo-match-history/v1/delta", "", "application/json");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 405);
}

TEST_F(HttpServerTest, ChangingTheSessionChangesRecentlyPlayed) {
    EXPECT_EQ(Get("/kzo-match-history/v1/recently-played-summoners").status, 200);
    EXPECT_EQ(Delete("/kzo-login/v1/session").status, 204);
    const Reply loggedOut = Get("/kzo-match-history/v1/recently-played-summoners");
    EXPECT_EQ(loggedOut.status, 409);
    EXPECT_EQ(loggedOut.body, R"({"message":"Player not logged in","status":409})");
    EXPECT_EQ(Get("/kzo-login/v1/session").status, 404);

    EXPECT_EQ(Put("/kzo-login/v1/session",
                  R"({"state":"SUCCEEDED","summonerId":28034063,"accountId":200000})")
                  .status,
              200);
    EXPECT_EQ(Get("/kzo-match-history/v1/recently-played-summoners").status, 200);
    EXPECT_EQ(Put("/kzo-login/v1/session", "{not json").status, 400);
}

TEST_F(HttpServerTest, SwitchingTheFeatureOffAnswersTheMessage) {
    EXPECT_EQ(Put("/kzo-platform-config/v1/namespaces/NewMatchHistory",
                  R"({"Enabled":false,"MatchHistoryWebURL":"https://example.test/"})")
                  .status,
              200);
    const Reply off = Get("/kzo-match-history/v1/games/3037071829");
    EXPECT_EQ(off.status, 500);
    EXPECT_EQ(off.body, R"({"message":"New Match History is not enabled","status":500})");
    EXPECT_EQ(Get("/kzo-match-history/v1/web-url").body, R"("https://example.test/")");
    EXPECT_EQ(Delete("/kzo-platform-config/v1/namespaces/NewMatchHistory").status, 204);
    EXPECT_EQ(Get("/kzo-match-history/v1/games/3037071829").status, 200);
}

TEST_F(HttpServerTest, OpenApiListsTheSevenPaths) {
    const Reply reply = Get("/openapi.json");
    ASSERT_EQ(reply.status, 200);
    const Nimbel::BindingProperty document = Json(reply.body);
    EXPECT_EQ(document["openapi"].GetString().substr(0, 2), "3.");
    size_t paths = 0;
    for (const auto& path : document["paths"].Members())
        paths += path.Name().starts_with("/kzo-match-history/v1/");
    EXPECT_EQ(paths, 7u);
}

TEST_F(HttpServerTest, OnlyTheLoopbackAddressIsBoundByDefault) {
    const std::vector<std::string> addresses = ListeningAddresses(server->Port());
    ASSERT_FALSE(addresses.empty());
    for (const std::string& address : addresses) EXPECT_EQ(address, "0100007F") << "127.0.0.1";
}

}  // namespace
}  // namespace KzoHost
