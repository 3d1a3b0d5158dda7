// Canned peer answers read from a folder, and the export name plugin-host
// derives from a plug-in's file name.
#include "host/canned_peers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "api/owned_response.h"
#include "binding/core_value.h"
#include "codecs/json_writer.h"
#include "host/plugin_library.h"

namespace KzoHost {
namespace {

namespace fs = std::filesystem;

constexpr KzoWord kGet = 2;
constexpr KzoWord kPut = 7;

TEST(ExportNameForPathTest, FollowsThePlatformsFileNames) {
    struct Case {
        const char* description;
        const char* path;
        const char* exportName;  ///< null: refused
    };
    const Case cases[] = {
        {"short name of one word", "jvp-be-hello.so", "load_hello"},
        {"dashes become underscores", "/usr/lib/jvp-be-kzo-match-history.so",
         "load_kzo_match_history"},
        {"only the file name counts", "/tmp/jvp-be-x.so/jvp-be-y-z.so", "load_y_z"},
        {"underscores and digits stay", "lib/jvp-be-a_2.so", "load_a_2"},
        {"no prefix", "/tmp/hello.so", nullptr},
        {"a front-end prefix", "jvp-fe-hello.so", nullptr},
        {"no suffix", "jvp-be-hello", nullptr},
        {"a versioned suffix", "jvp-be-hello.so.1", nullptr},
        {"an empty short name", "jvp-be-.so", nullptr},
        {"a dot inside the short name", "jvp-be-he.llo.so", nullptr},
        {"a folder, not a file", "/usr/lib/", nullptr},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<std::string> name = ExportNameForPath(c.path, error);
        if (c.exportName == nullptr) {
            EXPECT_FALSE(name.has_value()) << c.description << ": " << *name;
            EXPECT_NE(error.find("is not a plug-in file name"), std::string::npos) << c.description;
        } else {
            EXPECT_EQ(name.value_or("<refused: " + error + ">"), c.exportName) << c.description;
        }
    }
}

TEST(CannedAnswerFileTest, NamesAFileInsideTheFolderOrRefusesThePath) {
    struct Case {
        const char* description;
        KzoWord method;
        std::string_view path;
        const char* file;  ///< null: refused
    };
    const Case cases[] = {
        {"a GET", kGet, "/greeting-peer/v1/greeting", "GET/greeting-peer/v1/greeting.json"},
        {"a PUT", kPut, "/a", "PUT/a.json"},
        {"encoded dots are a plain name", kGet, "/%2e%2e/x", "GET/%2e%2e/x.json"},
        {"a dot inside a segment", kGet, "/a/b.c", "GET/a/b.c.json"},
        {"up a level", kGet, "/a/../b", nullptr},
        {"up from the top", kGet, "/..", nullptr},
        {"a dot segment", kGet, "/a/./b", nullptr},
        {"not absolute", kGet, "a/b", nullptr},
        {"an empty segment", kGet, "/a//b", nullptr},
        {"a trailing slash", kGet, "/a/", nullptr},
        {"the root alone", kGet, "/", nullptr},
        {"a backslash", kGet, "/a\\..\\b", nullptr},
        {"a NUL", kGet, std::string_view("/a\0/../b", 8), nullptr},
        {"a method without a word", 8, "/a", nullptr},
        {"no method", 0, "/a", nullptr},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<fs::path> file = CannedAnswerFile(c.method, c.path, error);
        if (c.file == nullptr) {
            EXPECT_FALSE(file.has_value()) << c.description << ": " << file->string();
            EXPECT_FALSE(error.empty()) << c.description;
        } else {
            EXPECT_EQ(file.value_or("<refused: " + error + ">").string(), c.file) << c.description;
        }
    }
}

/// What the plug-in gets back: the status, and the error text or the value as JSON.
struct Reply {
    KzoWord status = 0;
    std::string error;
    std::string json;
};

Reply Send(HostCore& core, KzoWord method, const std::string& path) {
    CoreRequest request{};
    request.method = method;
    request.path = path.c_str();
    Nimbel::OwnedResponse response;
    const CoreFunctions* functions = core.Context()->functions;
    functions->sendRequest(functions, &response.Record(), &request);
    Reply reply;
    reply.status = response->status;
    if (response->errorText != nullptr) {
        reply.error = response->errorText;
    } else {
        Nimbel::BindingProperty value;
        EXPECT_TRUE(Nimbel::CoreValueToProperty(nullptr, value, response->value, "<reply>"));
        reply.json = Nimbel::ValueToJson(value, nullptr, nullptr);
    }
    return reply;
}

/// A scratch folder named after the process, removed with its content.
class ScratchFolder {
public:
    ScratchFolder()
        : path_(fs::temp_directory_path() / ("kzo-canned-peers-" + std::to_string(getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_ / "peers");
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] const fs::path& Path() const noexcept { return path_; }
    [[nodiscard]] fs::path Peers() const { return path_ / "peers"; }

    void Write(const fs::path& relative, const std::string& text) const {
        fs::create_directories((path_ / relative).parent_path());
        std::ofstream(path_ / relative, std::ios::binary) << text;
    }

private:
    fs::path path_;
};

TEST(CannedPeersTest, AnswersFromTheFolderOrSaysWhatIsWrong) {
    ScratchFolder scratch;
    HostCore core;
    std::string error;
    ASSERT_TRUE(CannedPeers::Register(core, scratch.Peers(), error)) << error;
    // Outside the folder, reachable through a symbolic link inside it.
    scratch.Write("secret.json", R"({"status": 200, "body": "secret"})");
    fs::create_directories(scratch.Peers() / "GET");
    fs::create_symlink(scratch.Path() / "secret.json", scratch.Peers() / "GET" / "link.json");

    struct Case {
        const char* description;
        const char* file;  ///< under the peers folder; null: none written
        const char* text;
        KzoWord method;
        const char* path;
        KzoWord status;
        const char* json;   ///< the value answered; null: an error
        const char* error;  ///< a part of the error text
    };
    const Case cases[] = {
        {"a value", "GET/p/v1/a.json", R"({"status": 200, "body": {"text": "hi"}})", kGet,
         "/p/v1/a", 200, R"({"text":"hi"})", nullptr},
        {"status defaults to 200", "GET/p/b.json", R"({"body": [1, 2]})", kGet, "/p/b", 200,
         "[1,2]", nullptr},
        {"another method, another status", "PUT/p/b.json", R"({"status": 201, "body": true})", kPut,
         "/p/b", 201, "true", nullptr},
        {"the query is not part of the name", "GET/p/q.json", R"({"body": 1})", kGet, "/p/q?x=1",
         200, "1", nullptr},
        {"an error takes the body's message", "GET/p/gone.json",
         R"({"status": 404, "body": {"message": "gone"}})", kGet, "/p/gone", 404, nullptr, "gone"},
        {"an error without a message is the body", "GET/p/down.json",
         R"({"status": 503, "body": "down"})", kGet, "/p/down", 503, nullptr, "\"down\""},
        {"no file", nullptr, nullptr, kGet, "/p/none", 404, nullptr, "No plug-in serves /p/none"},
        {"no file for that method", nullptr, nullptr, kPut, "/p/v1/a", 404, nullptr,
         "No plug-in serves /p/v1/a"},
        {"up a level", nullptr, nullptr, kGet, "/p/../../secret", 400, nullptr, "refuse"},
        {"a link out of the folder", nullptr, nullptr, kGet, "/link", 404, nullptr,
         "No plug-in serves /link"},
        {"an empty file", "GET/m/empty.json", " \n", kGet, "/m/empty", 500, nullptr,
         "GET/m/empty.json: the file is empty"},
        {"not JSON", "GET/m/text.json", "status: 200", kGet, "/m/text", 500, nullptr,
         "GET/m/text.json"},
        {"not an object", "GET/m/array.json", "[200, {}]", kGet, "/m/array", 500, nullptr,
         "a canned answer is an object"},
        {"a status in quotes", "GET/m/quoted.json", R"({"status": "200"})", kGet, "/m/quoted", 500,
         nullptr, "\"status\" is an integer from 100 to 599"},
        {"a status below 100", "GET/m/low.json", R"({"status": 99})", kGet, "/m/low", 500, nullptr,
         "\"status\" is an integer from 100 to 599"},
        {"a status far too large", "GET/m/huge.json", R"({"status": 18446744073709551615})", kGet,
         "/m/huge", 500, nullptr, "\"status\" is an integer from 100 to 599"},
        {"a misspelt member", "GET/m/typo.json", R"({"stauts": 200, "body": 1})", kGet, "/m/typo",
         500, nullptr, "unknown member \"stauts\""},
    };
    for (const Case& c : cases) {
        if (c.file != nullptr) scratch.Write(fs::path("peers") / c.file, c.text);
        const Reply reply = Send(core, c.method, c.path);
        EXPECT_EQ(reply.status, c.status) << c.description << ": " << reply.error;
        if (c.json != nullptr) {
            EXPECT_EQ(reply.json, c.json) << c.description << ": " << reply.error;
        } else {
            EXPECT_NE(reply.error.find(c.error), std::string::npos)
                << c.description << ": " << reply.error;
        }
    }
}

TEST(CannedPeersTest, RefusesAFolderThatIsNotThere) {
    ScratchFolder scratch;
    scratch.Write("file.json", "{}");
    HostCore core;
    std::string error;
    EXPECT_FALSE(CannedPeers::Register(core, scratch.Path() / "missing", error));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_FALSE(CannedPeers::Register(core, scratch.Path() / "file.json", error));
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
}

}  // namespace
}  // namespace KzoHost
