// The OpenAPI document of the real plug-in library, read as the core reads it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/json_writer.h"
#include "host/api_documents.h"
#include "host/api_listing.h"
#include "host/host_core.h"
#include "host/plugin_library.h"

namespace KzoHost {
namespace {

using Nimbel::BindingProperty;

// Every "$ref" text anywhere below `value`.
void CollectReferences(const BindingProperty& value, std::vector<std::string>& references) {
    for (const auto& member : value.Members()) {
        if (member.Name() == "$ref") references.emplace_back(member.Value().GetString());
        CollectReferences(member.Value(), references);
    }
    for (const BindingProperty& element : value.Elements()) CollectReferences(element, references);
}

[[nodiscard]] BindingProperty RealPluginDocument() {
    std::string error;
    auto library = PluginLibrary::Open(KZO_PLUGIN_PATH, error);
    if (library == nullptr || !library->Load(CoreVersion{}, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    BindingProperty document = OpenApiDocument(ReadApiDescription(library->Record().apiDescription),
                                               "kzo-match-history", "1.0.0");
    library->Stop();
    return document;
}

TEST(ApiDocumentsEndToEndTest, TheRealPluginsDocumentIsComplete) {
    const BindingProperty document = RealPluginDocument();
    std::vector<std::string> paths;
    for (const auto& member : document["paths"].Members()) paths.emplace_back(member.Name());
    const std::string prefix = "/kzo-match-history/v1/";
    EXPECT_EQ(paths,
              (std::vector<std::string>{prefix + "delta", prefix + "friend-matchlists/{accountId}",
                                        prefix + "game-timelines/{gameId}",
                                        prefix + "games/{gameId}", prefix + "matchlist",
                                        prefix + "recently-played-summoners", prefix + "web-url"}));

    std::vector<std::string> references;
    CollectReferences(document, references);
    EXPECT_FALSE(references.empty());
    const BindingProperty& schemas = document["components"]["schemas"];
    const std::string_view schemaPrefix = "#/components/schemas/";
    for (const std::string& reference : references) {
        ASSERT_TRUE(reference.starts_with(schemaPrefix)) << reference;
        EXPECT_NE(schemas.FindMember(reference.substr(schemaPrefix.size())), nullptr) << reference;
    }

    const BindingProperty& game = document["paths"][prefix + "games/{gameId}"]["get"];
    EXPECT_EQ(Nimbel::ValueToJson(game["parameters"], nullptr, nullptr),
              R"([{"in":"path","name":"gameId","required":true,)"
              R"("schema":{"minimum":0,"type":"integer"}}])");
    const BindingProperty& recent =
        document["paths"][prefix + "recently-played-summoners"]["get"]["responses"]["200"]
                ["content"]["application/json"]["schema"];
    EXPECT_EQ(recent["type"].GetString(), "array");
    EXPECT_TRUE(recent["items"]["$ref"].GetString().starts_with(schemaPrefix));
}

}  // namespace
}  // namespace KzoHost
