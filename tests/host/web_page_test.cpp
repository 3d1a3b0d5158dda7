// The match-history page of plugin-host serve: its files over real loopback
// sockets with their media types and policy headers, the chart library read
// from its package, and the plug-in's and peers' paths left to them.
#include "host/web_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "host/http_server.h"
#include "host/plugin_session.h"
#include "host/web_files.h"
#include "tests/host/loopback_client.h"

namespace {

using KzoHost::HttpServer;
using KzoHost::PluginSession;
using KzoHost::WebPage;
using KzoHost::Testing::HttpReply;
using KzoHost::Testing::LoopbackClient;

const std::filesystem::path kWebFolder =
    std::filesystem::path(KZO_DEFAULT_DATA_DIR).parent_path() / "web";

[[nodiscard]] std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[nodiscard]] bool ChartLibraryInstalled() {
    return std::filesystem::is_regular_file(std::filesystem::path(WebPage::kChartLibraryFolder) /
                                            "dygraph.min.js");
}

class WebPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        KzoHost::SessionOptions options;
        options.pluginPath = KZO_PLUGIN_PATH;
        options.dataFolder = KZO_DEFAULT_DATA_DIR;
        options.logSink = [](KzoWord, const char*) {};
        std::string error;
        session_ = PluginSession::Open(options, error);
        ASSERT_NE(session_, nullptr) << error;
        server_ = std::make_unique<HttpServer>(*session_);
        ASSERT_TRUE(server_->Bind(0, error)) << error;
        serving_ = std::thread([this] { server_->Run(); });
    }
    void TearDown() override {
        if (server_ != nullptr) server_->Stop();
        if (serving_.joinable()) serving_.join();
    }

    [[nodiscard]] HttpReply Ask(const std::string& method, const std::string& target) {
        LoopbackClient client(server_->Port());
        const auto reply = client.Request(method, target);
        EXPECT_TRUE(reply.has_value()) << method << " " << target;
        return reply.value_or(HttpReply{});
    }

    std::unique_ptr<PluginSession> session_;
    std::unique_ptr<HttpServer> server_;
    std::thread serving_;
};

TEST_F(WebPageTest, PathsAnswerWithTheirMediaTypes) {
    const bool library = ChartLibraryInstalled();
    struct Case {
        const char* method;
        const char* target;
        int status;
        const char* contentType;
        bool page;  ///< answered by the page, with its policy headers
    };
    const Case cases[] = {
        {"GET", "/", 200, "text/html; charset=utf-8", true},
        {"GET", "/?from=bookmark", 200, "text/html; charset=utf-8", true},
        {"HEAD", "/", 200, "text/html; charset=utf-8", true},
        {"GET", "/web/app.js", 200, "text/javascript; charset=utf-8", true},
        {"GET", "/web/style.css", 200, "text/css; charset=utf-8", true},
        {"GET", "/lib/dygraph.min.js", library ? 200 : 404,
         library ? "text/javascript; charset=utf-8" : "application/json", true},
        {"GET", "/lib/dygraph.min.css", library ? 200 : 404,
         library ? "text/css; charset=utf-8" : "application/json", true},
        {"GET", "/lib/dygraph.min.js.map", library ? 200 : 404, "application/json", true},
        {"POST", "/", 405, "application/json", true},
        {"DELETE", "/web/app.js", 405, "application/json", true},
        // Only the page's own files: the rest goes on to the session, which
        // knows nothing there.
        {"GET", "/web/index.html", 404, "application/json", false},
        {"GET", "/web/", 404, "application/json", false},
        {"GET", "/web/../sample_data/session.json", 404, "application/json", false},
        {"GET", "/lib/dygraph.js.map", 404, "application/json", false},
        {"GET", "/lib/../../../etc/passwd", 404, "application/json", false},
        {"GET", "/index.html", 404, "application/json", false},
        // The plug-in's and the peers' paths are theirs.
        {"GET", "/kzo-match-history/v1/web-url", 200, "application/json", false},
        {"GET", "/kzo-login/v1/session", 200, "application/json", false},
        {"GET", "/openapi.json", 200, "application/json", false},
    };
    for (const Case& c : cases) {
        const HttpReply reply = Ask(c.method, c.target);
        const std::string where = std::string(c.method) + " " + c.target;
        EXPECT_EQ(reply.status, c.status) << where << ": " << reply.body.substr(0, 200);
        EXPECT_EQ(reply.Header("content-type"), c.contentType) << where;
        const std::string policy = reply.Header("content-security-policy");
        EXPECT_EQ(policy.starts_with("default-src 'self';"), c.page) << where << ": " << policy;
        EXPECT_EQ(reply.Header("x-content-type-options") == "nosniff", c.page) << where;
        if (c.status == 405) {
            EXPECT_EQ(reply.Header("allow"), "GET, HEAD") << where;
        }
    }
}

TEST_F(WebPageTest, ServesTheFilesAsWritten) {
    EXPECT_EQ(Ask("GET", "/").body, ReadFile(kWebFolder / "index.html"));
    EXPECT_EQ(Ask("GET", "/web/app.js").body, ReadFile(kWebFolder / "app.js"));
    EXPECT_EQ(Ask("GET", "/web/style.css").body, ReadFile(kWebFolder / "style.css"));
    const HttpReply head = Ask("HEAD", "/");
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(head.Header("content-length"),
              std::to_string(ReadFile(kWebFolder / "index.html").size()));
    if (ChartLibraryInstalled()) {
        EXPECT_EQ(Ask("GET", "/lib/dygraph.min.js").body,
                  ReadFile(std::filesystem::path(WebPage::kChartLibraryFolder) / "dygraph.min.js"));
    }
}

TEST(WebFilesTest, EveryFileOfTheFolderIsBuiltInByteForByte) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kWebFolder)) {
        ++files;
        const std::string name = entry.path().filename().string();
        const KzoHost::EmbeddedFile* found = nullptr;
        for (const KzoHost::EmbeddedFile& file : KzoHost::EmbeddedWebFiles()) {
            if (file.name == name) found = &file;
        }
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(found->bytes, ReadFile(entry.path())) << name;
    }
    EXPECT_EQ(KzoHost::EmbeddedWebFiles().size(), files);
}

TEST(WebPageLibraryTest, AMissingLibraryIsANotFoundThatNamesThePackage) {
    const WebPage page("/nonexistent/dygraphs");
    const KzoHost::WebAnswer answer = page.Get("/lib/dygraph.min.js");
    EXPECT_EQ(answer.status, 404);
    EXPECT_EQ(answer.contentType, "application/json");
    EXPECT_NE(answer.body.find("/nonexistent/dygraphs/dygraph.min.js is missing"),
              std::string::npos)
        << answer.body;
    EXPECT_NE(answer.body.find("libjs-dygraphs"), std::string::npos) << answer.body;
    // The page itself does not need the library.
    EXPECT_EQ(page.Get("/").status, 200);
}

TEST_F(WebPageTest, TheSessionServesPeerAndEndpointPathsOnly) {
    const struct {
        const char* path;
        bool served;
    } cases[] = {
        {"/kzo-match-history/v1/games/3037071829", true},
        {"/kzo-match-history/v1/games/x", true},  // the template fits; the argument does not bind
        {"/kzo-acs/v1/delta", true},
        {"/kzo-login/v1/session", true},
        {"/kzo-platform-config/v1/namespaces/NewMatchHistory", true},
        {"/", false},
        {"/web/app.js", false},
        {"/lib/dygraph.min.js", false},
        {"/kzo-match-history/v1/nothing-here", false},
    };
    for (const auto& c : cases) EXPECT_EQ(session_->Serves(c.path), c.served) << c.path;
}

}  // namespace
