// The sample peers answering through the core's function table, as the
// match-history plug-in reaches them.
#include "host/sample_peers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "api/owned_response.h"
#include "binding/binding_status.h"
#include "binding/core_value.h"
#include "binding/owned_core_value.h"
#include "codecs/json_reader.h"
#include "plugin/resource_path.h"

namespace KzoHost {
namespace {

namespace fs = std::filesystem;
using Nimbel::BindingProperty;

constexpr KzoWord kGet = 2;
constexpr KzoWord kPost = 6;
const fs::path kDataFolder = KZO_DEFAULT_DATA_DIR;

/// What the plug-in gets back: a value, or a stream's text read to its end
/// and parsed (`parsedStream` false when that text is not JSON).
struct Reply {
    KzoWord status = 0;
    std::string error;
    bool streamed = false;
    bool parsedStream = false;
    BindingProperty value;
};

std::string ReadStreamToEnd(Nimbel::OwnedResponse& response) {
    std::string text;
    uint8_t more = 1;
    while (more == 1) {
        uint8_t buffer[4096];
        uint32_t size = sizeof buffer;
        if (!response->streamRead(response->stream, buffer, &size, &more)) break;
        text.append(reinterpret_cast<const char*>(buffer), size);
    }
    response.CloseStream();
    return text;
}

Reply Send(HostCore& core, KzoWord method, const std::string& path,
           const std::vector<BindingProperty>& unnamedArguments = {}) {
    std::vector<Nimbel::OwnedCoreValue> values(unnamedArguments.size());
    std::vector<CoreArgumentEntry> arguments(unnamedArguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        Nimbel::PropertyToCoreValue(values[i].Get(), unnamedArguments[i], nullptr);
        arguments[i].value = values[i].Get();
    }
    CoreRequest request{};
    request.method = method;
    request.path = path.c_str();
    request.arguments = arguments.data();
    request.argumentCount = arguments.size();
    Nimbel::OwnedResponse response;
    const CoreFunctions* functions = core.Context()->functions;
    functions->sendRequest(functions, &response.Record(), &request);

    Reply reply;
    reply.status = response->status;
    if (response->errorText != nullptr) reply.error = response->errorText;
    if (CoreStreamReadFn{response->streamRead} != nullptr) {
        reply.streamed = true;
        const std::string text = ReadStreamToEnd(response);
        Nimbel::BindingStatus parsed = Nimbel::JsonToValue(text.c_str(), text.size());
        reply.parsedStream = parsed.Ok();
        reply.value = std::move(parsed.Value());
    } else {
        EXPECT_TRUE(Nimbel::CoreValueToProperty(nullptr, reply.value, response->value, "<reply>"));
    }
    return reply;
}

BindingProperty ParseFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Nimbel::BindingStatus parsed = Nimbel::JsonToValue(text.c_str(), text.size());
    EXPECT_TRUE(parsed.Ok()) << file;
    return std::move(parsed.Value());
}

BindingProperty Ids(std::vector<BindingProperty> ids) {
    BindingProperty collection;
    collection.MakeCollection();
    for (BindingProperty& id : ids) collection.Append() = std::move(id);
    return collection;
}

/// A scratch data folder, removed with its content at the end of the test. Its
/// name carries the process id, so test processes running side by side (ctest
/// -j, other checkouts) never share one.
class TempFolder {
public:
    TempFolder()
        : path_(fs::temp_directory_path() /
                ("kzo-sample-peers-" + std::to_string(getpid()) + "-" +
                 std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                 std::to_string(++s_count))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const fs::path& Path() const { return path_; }
    void Write(const fs::path& relative, const std::string& text) const {
        fs::create_directories((path_ / relative).parent_path());
        std::ofstream(path_ / relative, std::ios::binary | std::ios::trunc) << text;
    }

private:
    static inline int s_count = 0;
    fs::path path_;
};

class SamplePeersTest : public testing::Test {
protected:
    std::unique_ptr<SamplePeers> OpenFolder(const fs::path& folder) {
        std::string error;
        auto peers = SamplePeers::Open(core_, folder, error);
        EXPECT_NE(peers, nullptr) << error;
        return peers;
    }

    HostCore core_;
};

TEST_F(SamplePeersTest, GameDataAnswersEachFileStreamingTheLargeOnes) {
    const auto peers = OpenFolder(kDataFolder);
    struct Case {
        const char* path;
        const char* file;
        bool streamed;
    };
    const Case cases[] = {
        {"/kzo-acs/v1/matchlists/200000", "matchlists/200000.json", true},
        {"/kzo-acs/v1/matchlists/0?begIndex=0&endIndex=20", "matchlists/0.json", true},
        {"/kzo-acs/v1/games/3305113796", "games/3305113796.json", false},
        {"/kzo-acs/v1/gametimelines/3947554609", "gametimelines/3947554609.json", true},
        {"/kzo-acs/v1/delta", "delta.json", false},
    };
    for (const Case& c : cases) {
        const Reply reply = Send(core_, kGet, c.path);
        EXPECT_EQ(reply.status, 200u) << c.path;
        EXPECT_EQ(reply.error, "") << c.path;
        EXPECT_EQ(reply.streamed, c.streamed) << c.path;
        if (c.streamed) {
            EXPECT_TRUE(reply.parsedStream) << c.path;
        }
        EXPECT_EQ(reply.value, ParseFile(kDataFolder / c.file)) << c.path;
    }
}

TEST_F(SamplePeersTest, MissingAndNonNumericIdsAnswer404WithoutReachingTheFolder) {
    const auto peers = OpenFolder(kDataFolder);
    const std::pair<const char*, const char*> cases[] = {
        {"/kzo-acs/v1/games/123", "No game 123"},
        {"/kzo-acs/v1/matchlists/999", "No match list for account 999"},
        {"/kzo-acs/v1/gametimelines/1", "No timeline for game 1"},
        // games/../delta.json exists: only a plain number may name a file.
        {"/kzo-acs/v1/games/../delta", "No game ../delta"},
        {"/kzo-acs/v1/matchlists/../../sample_data/delta",
         "No match list for account ../../sample_data/delta"},
        {"/kzo-acs/v1/games/", "No game "},
        {"/kzo-acs/v1/games/-5", "No game -5"},
        {"/kzo-acs/v1/games/3305113796/x", "No game 3305113796/x"},
        {"/kzo-acs/v1/games/123456789012345678901", "No game 123456789012345678901"},
    };
    for (const auto& [path, error] : cases) {
        const Reply reply = Send(core_, kGet, path);
        EXPECT_EQ(reply.status, 404u) << path;
        EXPECT_EQ(reply.error, error) << path;
    }
}

TEST_F(SamplePeersTest, EachPeerRefusesOtherMethods) {
    const auto peers = OpenFolder(kDataFolder);
    const std::pair<KzoWord, const char*> cases[] = {
        {kPost, "/kzo-acs/v1/games/3305113796"},
        {1, "/kzo-acs/v1/matchlists/0"},
        {7, "/kzo-acs/v1/delta"},
        {kPost, "/kzo-login/v1/session"},
        {kGet, "/kzo-login/v1/session/invoke"},
        {kPost, "/kzo-summoner/v2/summoner-names"},
        {1, SamplePeers::kConfigurationPath},
    };
    for (const auto& [method, path] : cases) {
        const Reply reply = Send(core_, method, path);
        EXPECT_EQ(reply.status, 405u) << path;
        EXPECT_NE(reply.error, "") << path;
    }
}

TEST_F(SamplePeersTest, FilesThatAreNotJsonAnswer500WithTheReadersText) {
    TempFolder folder;
    folder.Write("games/5.json", "{\"gameId\":");
    folder.Write("matchlists/5.json", "[1,");
    folder.Write("session.json", "nope");
    folder.Write("recent-games.json", "{");
    folder.Write("summoner-names.json", "[");
    const auto peers = OpenFolder(folder.Path());
    struct Case {
        KzoWord method;
        const char* path;
        std::vector<BindingProperty> arguments;
        const char* errorStart;
    };
    const Case cases[] = {
        {kGet, "/kzo-acs/v1/games/5", {}, "games/5.json: Error: "},
        {kGet, "/kzo-acs/v1/matchlists/5", {}, "matchlists/5.json: Error: "},
        {kGet, "/kzo-login/v1/session", {}, "session.json: Error: "},
        {kPost,
         "/kzo-login/v1/session/invoke",
         {"playerStatsService", "getRecentGames", Ids({})},
         "recent-games.json: Error: "},
        {kGet, "/kzo-summoner/v2/summoner-names", {Ids({1u})}, "summoner-names.json: Error: "},
    };
    for (const Case& c : cases) {
        const Reply reply = Send(core_, c.method, c.path, c.arguments);
        EXPECT_EQ(reply.status, 500u) << c.path;
        EXPECT_EQ(reply.error.rfind(c.errorStart, 0), 0u) << reply.error;
        EXPECT_NE(reply.error.find(" at offset "), std::string::npos) << reply.error;
    }
    EXPECT_FALSE(peers->Session().has_value());
}

TEST_F(SamplePeersTest, EmptyAndBlankFilesAnswer500NamingTheFile) {
    TempFolder folder;
    folder.Write("games/5.json", "");
    folder.Write("matchlists/5.json", " \n\t ");
    folder.Write("session.json", "\n");
    const auto peers = OpenFolder(folder.Path());
    struct Case {
        const char* path;
        const char* error;
    };
    const Case cases[] = {
        {"/kzo-acs/v1/games/5", "games/5.json: the file is empty"},
        {"/kzo-acs/v1/matchlists/5", "matchlists/5.json: the file is empty"},
        {"/kzo-login/v1/session", "session.json: the file is empty"},
    };
    for (const Case& c : cases) {
        const Reply reply = Send(core_, kGet, c.path);
        EXPECT_EQ(reply.status, 500u) << c.path;
        EXPECT_EQ(reply.error, c.error) << c.path;
    }
}

TEST_F(SamplePeersTest, OnlyFilesResolvingInsideTheFolderAreServed) {
    TempFolder outside;
    outside.Write("secret.json", R"({"gameId":666})");
    outside.Write("games/9.json", R"({"gameId":9})");
    TempFolder folder;
    folder.Write("games/1.json", R"({"gameId":1})");
    fs::create_directories(folder.Path() / "matchlists");
    fs::create_symlink(outside.Path() / "secret.json", folder.Path() / "games/2.json");
    fs::create_symlink("../games/1.json", folder.Path() / "matchlists/3.json");
    fs::create_symlink(outside.Path() / "games", folder.Path() / "gametimelines");
    fs::create_symlink(outside.Path() / "secret.json", folder.Path() / "delta.json");
    const auto peers = OpenFolder(folder.Path());
    struct Case {
        const char* description;
        const char* path;
        KzoWord status;
    };
    const Case cases[] = {
        {"a plain file", "/kzo-acs/v1/games/1", 200},
        {"a link to a file outside", "/kzo-acs/v1/games/2", 404},
        {"a link to a file inside", "/kzo-acs/v1/matchlists/3", 200},
        {"a linked folder outside", "/kzo-acs/v1/gametimelines/9", 404},
        {"a fixed name linked outside", "/kzo-acs/v1/delta", 404},
    };
    for (const Case& c : cases) {
        const Reply reply = Send(core_, kGet, c.path);
        EXPECT_EQ(reply.status, c.status) << c.description << ": " << reply.error;
        if (c.status == 200) {
            EXPECT_EQ(reply.value["gameId"].GetUnsigned(), 1u) << c.description;
        }
    }
}

TEST_F(SamplePeersTest, EditsToTheFolderShowUpOnTheNextRequest) {
    TempFolder folder;
    const auto peers = OpenFolder(folder.Path());
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").status, 404u);
    folder.Write("games/7.json", R"({"gameId":7})");
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").value["gameId"].GetUnsigned(), 7u);
    folder.Write("games/7.json", R"({"gameId":8})");
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").value["gameId"].GetUnsigned(), 8u);
}

TEST_F(SamplePeersTest, EditsToOldFilesShowUpOnTheNextRequestToo) {
    // Files untouched for a while are kept between requests; an edit of the
    // same size still shows up at once, as does a file replaced by another.
    TempFolder folder;
    const auto peers = OpenFolder(folder.Path());
    const auto age = [&folder](const char* name) {
        fs::last_write_time(folder.Path() / name,
                            fs::file_time_type::clock::now() - std::chrono::hours(1));
    };
    folder.Write("games/7.json", R"({"gameId":1})");
    age("games/7.json");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").value["gameId"].GetUnsigned(), 1u);
    folder.Write("games/7.json", R"({"gameId":2})");
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").value["gameId"].GetUnsigned(), 2u);
    age("games/7.json");
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").value["gameId"].GetUnsigned(), 2u);
    folder.Write("games/8.json", R"({"gameId":3})");
    age("games/8.json");
    fs::rename(folder.Path() / "games/8.json", folder.Path() / "games/7.json");
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").value["gameId"].GetUnsigned(), 3u);
    fs::remove(folder.Path() / "games/7.json");
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/games/7").status, 404u);
}

TEST_F(SamplePeersTest, InvokeAnswersRecentGamesAsTheirPlatformType) {
    const auto peers = OpenFolder(kDataFolder);
    const Reply reply = Send(core_, kPost, "/kzo-login/v1/session/invoke",
                             {"playerStatsService", "getRecentGames", Ids({200000u})});
    ASSERT_EQ(reply.status, 200u) << reply.error;
    EXPECT_EQ(reply.value["typeName"].GetString(),
              "com.nimbelworks.platform.statistics.RecentGames");
    EXPECT_EQ(reply.value["body"], ParseFile(kDataFolder / "recent-games.json"));
}

TEST_F(SamplePeersTest, InvokeRefusesMalformedArgumentsAndUnknownCalls) {
    const auto peers = OpenFolder(kDataFolder);
    struct Case {
        std::vector<BindingProperty> arguments;
        KzoWord status;
        std::vector<const char*> errorNames;  ///< texts the error must contain
    };
    const Case cases[] = {
        {{}, 400, {"three"}},
        {{"playerStatsService", "getRecentGames"}, 400, {"three"}},
        {{"playerStatsService", "getRecentGames", Ids({}), 1u}, 400, {"three"}},
        {{7u, "getRecentGames", Ids({})}, 400, {"string"}},
        {{"playerStatsService", "getRecentGames", "[]"}, 400, {"collection", "string"}},
        {{"playerStatsService", "getOther", Ids({})}, 404, {"getOther", "playerStatsService"}},
        {{"otherService", "getRecentGames", Ids({})}, 404, {"getRecentGames", "otherService"}},
    };
    for (const Case& c : cases) {
        const Reply reply = Send(core_, kPost, "/kzo-login/v1/session/invoke", c.arguments);
        EXPECT_EQ(reply.status, c.status) << reply.error;
        for (const char* name : c.errorNames) {
            EXPECT_NE(reply.error.find(name), std::string::npos)
                << reply.error << " lacks " << name;
        }
    }
}

TEST_F(SamplePeersTest, SummonerNamesComeInIdOrderOnePerId) {
    const auto peers = OpenFolder(kDataFolder);
    const Reply reply = Send(core_, kGet, "/kzo-summoner/v2/summoner-names",
                             {Ids({86397250u, int64_t{28034063}, 1u, 10282669u, 1u})});
    ASSERT_EQ(reply.status, 200u) << reply.error;
    std::vector<std::string> names;
    for (const BindingProperty& entry : reply.value.Elements()) {
        names.emplace_back(entry["displayName"].GetString());
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"Player 0002", "Player 0001", "", "Player 0018", ""}));

    const Reply none = Send(core_, kGet, "/kzo-summoner/v2/summoner-names", {Ids({})});
    EXPECT_EQ(none.status, 200u);
    EXPECT_EQ(none.value.Kind(), Nimbel::BindingPropertyKind::Collection);
    EXPECT_EQ(none.value.Size(), 0u);
}

TEST_F(SamplePeersTest, SummonerNamesRefuseAnythingButACollectionOfIds) {
    const auto peers = OpenFolder(kDataFolder);
    const std::vector<BindingProperty> cases[] = {
        {},
        {28034063u},
        {"28034063"},
        {Ids({28034063u}), Ids({1u})},
        {Ids({int64_t{-5}})},
        {Ids({"28034063"})},
        {Ids({1.5})},
    };
    for (const auto& arguments : cases) {
        const Reply reply = Send(core_, kGet, "/kzo-summoner/v2/summoner-names", arguments);
        EXPECT_EQ(reply.status, 400u) << reply.error;
    }
}

/// Every resource event delivered, as "<event name> <uri> <type> <data as text>".
std::vector<std::string> g_events;
void RecordEvent(const EventCallbackRecord* record) {
    BindingProperty converted;
    ASSERT_TRUE(Nimbel::CoreValueToProperty(nullptr, converted, record->payload, "<event>"));
    const BindingProperty& payload = converted;
    const BindingProperty& data = payload["data"];
    std::string summary = data.IsEmpty() ? "-" : std::string(data["state"].GetString("?"));
    if (const BindingProperty* enabled = data.FindMember("Enabled")) summary = enabled->ToString();
    g_events.push_back(std::string(record->eventName) + " " +
                       std::string(payload["uri"].GetString()) + " " +
                       std::string(payload["eventType"].GetString()) + " " + summary);
}

TEST_F(SamplePeersTest, ResourceChangesPublishCreateUpdateAndDelete) {
    TempFolder folder;
    folder.Write("config.json", R"({"Enabled":true})");
    const auto peers = OpenFolder(folder.Path());
    const CoreFunctions* f = core_.Context()->functions;
    const std::string sessionEvent = Nimbel::EventNameForPath(SamplePeers::kSessionPath);
    const std::string configEvent = Nimbel::EventNameForPath(SamplePeers::kConfigurationPath);
    f->subscribe(f, sessionEvent.c_str(), 1, &RecordEvent, nullptr, 0);
    f->subscribe(f, configEvent.c_str(), 2, &RecordEvent, nullptr, 0);
    g_events.clear();

    BindingProperty session;
    session["state"] = "IN_PROGRESS";
    struct Step {
        std::function<void()> change;
        std::optional<std::string> event;  ///< type and summary, or none published
        const char* path;
        KzoWord statusAfter;
    };
    const std::string sessionUri = std::string(" ") + SamplePeers::kSessionPath + " ";
    const std::string configUri = std::string(" ") + SamplePeers::kConfigurationPath + " ";
    const Step steps[] = {
        {[&] { peers->SetSession(session); }, "Create IN_PROGRESS", SamplePeers::kSessionPath, 200},
        {[&] {
             session["state"] = "SUCCEEDED";
             peers->SetSession(session);
         },
         "Update SUCCEEDED", SamplePeers::kSessionPath, 200},
        {[&] { peers->DeleteSession(); }, "Delete -", SamplePeers::kSessionPath, 404},
        {[&] { peers->DeleteSession(); }, std::nullopt, SamplePeers::kSessionPath, 404},
        {[&] { peers->SetConfiguration(ParseFile(folder.Path() / "config.json")); }, "Update true",
         SamplePeers::kConfigurationPath, 200},
        {[&] { peers->DeleteConfiguration(); }, "Delete -", SamplePeers::kConfigurationPath, 404},
    };
    for (const Step& step : steps) {
        g_events.clear();
        step.change();
        const bool isSession = std::string_view(step.path) == SamplePeers::kSessionPath;
        const std::string& uri = isSession ? sessionUri : configUri;
        const std::string& event = isSession ? sessionEvent : configEvent;
        const std::vector<std::string> expected =
            step.event ? std::vector<std::string>{event + uri + *step.event}
                       : std::vector<std::string>{};
        EXPECT_EQ(g_events, expected);
        EXPECT_EQ(Send(core_, kGet, step.path).status, step.statusAfter) << step.path;
    }
    // The host's value wins over the file from its first change on.
    EXPECT_EQ(Send(core_, kGet, SamplePeers::kSessionPath).error, "No session");
    EXPECT_FALSE(peers->Session().has_value());
}

TEST_F(SamplePeersTest, SessionAndConfigurationStartAsTheirFiles) {
    const auto peers = OpenFolder(kDataFolder);
    const BindingProperty session = ParseFile(kDataFolder / "session.json");
    const BindingProperty configuration = ParseFile(kDataFolder / "config.json");
    EXPECT_EQ(Send(core_, kGet, SamplePeers::kSessionPath).value, session);
    EXPECT_EQ(Send(core_, kGet, SamplePeers::kConfigurationPath).value, configuration);
    EXPECT_EQ(peers->Session(), session);
    EXPECT_EQ(peers->Configuration(), configuration);
}

TEST_F(SamplePeersTest, PeersKeepAnsweringAfterTheObjectIsGone) {
    auto peers = OpenFolder(kDataFolder);
    BindingProperty session;
    session["state"] = "ENDED";
    peers->SetSession(session);
    peers.reset();
    EXPECT_EQ(Send(core_, kGet, SamplePeers::kSessionPath).value, session);
    EXPECT_EQ(Send(core_, kGet, "/kzo-acs/v1/delta").status, 200u);
}

TEST(SamplePeersOpenTest, ReportsAMissingOrWrongDataFolder) {
    TempFolder folder;
    folder.Write("plain-file", "x");
    const std::pair<fs::path, const char*> cases[] = {
        {folder.Path() / "absent", "No sample data folder at "},
        {folder.Path() / "plain-file", "is not a folder"},
    };
    for (const auto& [path, text] : cases) {
        HostCore core;
        std::string error;
        EXPECT_EQ(SamplePeers::Open(core, path, error), nullptr) << path;
        EXPECT_NE(error.find(text), std::string::npos) << error;
        EXPECT_NE(error.find(path.string()), std::string::npos) << error;
        EXPECT_EQ(Send(core, kGet, "/kzo-acs/v1/delta").status, 404u) << "no peer registered";
    }
}

}  // namespace
}  // namespace KzoHost
