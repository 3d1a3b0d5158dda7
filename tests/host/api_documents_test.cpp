// The host's JSON description and the OpenAPI document of hand-made listings:
// schemas of every type text, component names, parameters by location,
// operations sharing a path, and the error answer.
#include "host/api_documents.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/json_writer.h"

namespace KzoHost {
namespace {

using Nimbel::BindingProperty;

[[nodiscard]] std::string Compact(const BindingProperty& value) {
    return Nimbel::ValueToJson(value, nullptr, nullptr);
}

// Reads through members without inserting any.
[[nodiscard]] const BindingProperty& At(const BindingProperty& value,
                                        std::initializer_list<std::string_view> names) {
    const BindingProperty* at = &value;
    for (std::string_view name : names) at = &(*at)[name];
    return *at;
}

[[nodiscard]] ListedEndpoint Endpoint(std::string path, std::string function,
                                      std::string resultType = "string",
                                      std::vector<ListedArgument> arguments = {}) {
    return ListedEndpoint{.functionName = std::move(function),
                          .method = 2,
                          .pathTemplate = std::move(path),
                          .arguments = std::move(arguments),
                          .resultType = std::move(resultType)};
}

[[nodiscard]] ListedType Record(std::string name, std::vector<ListedMember> fields,
                                std::string description = {}) {
    return ListedType{.name = std::move(name),
                      .description = std::move(description),
                      .fields = std::move(fields)};
}

[[nodiscard]] ListedType Enumeration(std::string name,
                                     const std::vector<std::string>& enumerators) {
    ListedType type{.name = std::move(name)};
    for (const std::string& enumerator : enumerators) {
        type.enumerators.push_back({.name = enumerator});
    }
    return type;
}

TEST(ApiDocumentsTest, EveryTypeTextHasItsSchema) {
    const std::string game = R"({"$ref":"#/components/schemas/Game"})";
    const struct {
        const char* typeText;
        std::string schema;
    } cases[] = {
        {"bool", R"({"type":"boolean"})"},
        {"int8", R"({"format":"int32","maximum":127,"minimum":-128,"type":"integer"})"},
        {"uint8", R"({"format":"int32","maximum":255,"minimum":0,"type":"integer"})"},
        {"int16", R"({"format":"int32","maximum":32767,"minimum":-32768,"type":"integer"})"},
        {"uint16", R"({"format":"int32","maximum":65535,"minimum":0,"type":"integer"})"},
        {"int32", R"({"format":"int32","type":"integer"})"},
        {"uint32", R"({"format":"int64","maximum":4294967295,"minimum":0,"type":"integer"})"},
        {"int64", R"({"format":"int64","type":"integer"})"},
        {"uint64", R"({"minimum":0,"type":"integer"})"},
        {"float", R"({"format":"float","type":"number"})"},
        {"double", R"({"format":"double","type":"number"})"},
        {"string", R"({"type":"string"})"},
        {"blob", R"({"format":"byte","type":"string"})"},
        {"object", "{}"},
        {"Game", game},
        {"Odd Name", R"({"$ref":"#/components/schemas/Odd_Name"})"},
        {"NotListed", "{}"},
        {"vector<Game>", R"({"items":)" + game + R"(,"type":"array"})"},
        {"map<uint64>",
         R"({"additionalProperties":{"minimum":0,"type":"integer"},"type":"object"})"},
        {"map<object>", R"({"additionalProperties":{},"type":"object"})"},
        {"vector<map<bool>>",
         R"({"items":{"additionalProperties":{"type":"boolean"},"type":"object"},"type":"array"})"},
        {"vector<>", R"({"items":{},"type":"array"})"},
        {"vector", "{}"},
        {"vector<Game", "{}"},
        {"callback", "{}"},
        {"struct", "{}"},
    };
    ApiListing listing;
    listing.types = {Record("Game", {}), Record("Odd Name", {})};
    for (const auto& c : cases) {
        const std::string text = c.typeText;
        listing.endpoints.push_back(Endpoint("/" + text, text, text));
    }
    const BindingProperty document = OpenApiDocument(listing, "t", "1");
    for (const auto& c : cases) {
        const BindingProperty& schema =
            At(document, {"paths", "/" + std::string(c.typeText), "get", "responses", "200",
                          "content", "application/json", "schema"});
        EXPECT_EQ(Compact(schema), c.schema) << c.typeText;
    }
}

TEST(ApiDocumentsTest, NestingBeyondAnyListingEndsInAnAnyValueSchema) {
    std::string typeText;
    for (int i = 0; i < 100000; ++i) typeText += "vector<";
    typeText += "string" + std::string(100000, '>');
    ApiListing listing;
    listing.endpoints = {Endpoint("/deep", "Deep", typeText)};
    const std::string json = Compact(OpenApiDocument(listing, "t", "1"));
    size_t arrays = 0;
    for (size_t at = json.find("items"); at != std::string::npos; at = json.find("items", at + 1)) {
        ++arrays;
    }
    EXPECT_EQ(arrays, 32u);
}

TEST(ApiDocumentsTest, ComponentsHoldEveryListedTypeAndTheErrorUnderUniqueNames) {
    ApiListing listing;
    listing.types = {
        Record("Game",
               {{.name = "id", .description = "the game's id", .type = "uint64"},
                {.name = "next", .description = "not beside a reference", .type = "Game"},
                {.name = "id", .type = "string"}},
               "One game"),
        Enumeration("Outcome", {"Win", "Loss", "Win"}),
        Record("Game", {{.name = "other", .type = "bool"}}),
        Record("Error", {}),
        Record("Odd Name", {}),
        Record("Odd_Name", {}),
        Record("", {}),
    };
    const std::string expected =
        R"({"Error":{"properties":{},"type":"object"},)"
        R"("Error_2":{"properties":{"message":{"type":"string"},)"
        R"("status":{"type":"integer"}},"type":"object"},)"
        R"("Game":{"description":"One game","properties":{)"
        R"("id":{"description":"the game's id","minimum":0,"type":"integer"},)"
        R"("next":{"$ref":"#/components/schemas/Game"}},"type":"object"},)"
        R"("Odd_Name":{"properties":{},"type":"object"},)"
        R"("Odd_Name_2":{"properties":{},"type":"object"},)"
        R"("Outcome":{"enum":["Win","Loss"],"type":"string"}})";
    const BindingProperty document = OpenApiDocument(listing, "Match history", "1.2.3");
    EXPECT_EQ(Compact(At(document, {"components", "schemas"})), expected);
    EXPECT_EQ(Compact(At(document, {"info"})), R"({"title":"Match history","version":"1.2.3"})");
    EXPECT_EQ(Compact(At(document, {"openapi"})), R"("3.0.3")");
}

TEST(ApiDocumentsTest, ArgumentsBecomeParametersByLocation) {
    const std::string id = R"("schema":{"minimum":0,"type":"integer"})";
    const std::string text = R"("schema":{"type":"string"})";
    const struct {
        const char* description;
        const char* pathTemplate;
        std::vector<ListedArgument> arguments;
        const char* path;
        std::string parameters;
    } cases[] = {
        {"a path argument",
         "/games/{gameId}",
         {{"gameId", 2, "uint64"}},
         "/games/{gameId}",
         R"([{"in":"path","name":"gameId","required":true,)" + id + "}]"},
        {"an argument from anywhere named by the template",
         "/games/{gameId}",
         {{"gameId", 0, "uint64"}},
         "/games/{gameId}",
         R"([{"in":"path","name":"gameId","required":true,)" + id + "}]"},
        {"a template parameter without argument",
         "/a/{x}",
         {},
         "/a/{x}",
         R"([{"in":"path","name":"x","required":true,)" + text + "}]"},
        {"query, anywhere, header, body and unsendable path arguments",
         "a",
         {{"q", 1, "uint64"},
          {"any", 0, "string"},
          {"h", 4, "string"},
          {"b", 5, "Game"},
          {"lost", 2, "string"},
          {"odd", 3, "string"}},
         "/a",
         R"([{"in":"query","name":"q",)" + id + R"(},{"in":"query","name":"any",)" + text +
             R"(},{"in":"header","name":"h",)" + text + R"(},{"in":"query","name":"odd",)" + text +
             "}]"},
        {"reserved, fragment and repeated expressions",
         "/f/{+rest}/{a}{a}}{#frag",
         {},
         "/f/{rest}/{a}{a}",
         R"([{"in":"path","name":"rest","required":true,)" + text +
             R"(},{"in":"path","name":"a","required":true,)" + text + "}]"},
        {"a fragment",
         "/f{#frag}",
         {},
         "/f#{frag}",
         R"([{"in":"path","name":"frag","required":true,)" + text + "}]"},
    };
    for (const auto& c : cases) {
        ApiListing listing;
        listing.endpoints = {Endpoint(c.pathTemplate, "F", "", c.arguments)};
        const BindingProperty document = OpenApiDocument(listing, "t", "1");
        EXPECT_EQ(Compact(At(document, {"paths", c.path, "get", "parameters"})), c.parameters)
            << c.description;
    }
}

TEST(ApiDocumentsTest, OperationsShareTheirPathAndAnswerSuccessOrTheError) {
    ApiListing listing;
    listing.types = {Record("Game", {})};
    listing.endpoints = {
        Endpoint("/games/{id}", "GetGame", "Game", {{"id", 2, "uint64"}}),
        Endpoint("/games/{id}", "Shadowed", "string"),
        Endpoint("/games/{id}", "PutGame", "", {{"game", 5, "Game"}, {"second", 5, "string"}}),
        Endpoint("/games/{id}", "AnyGame"),
        Endpoint("/games/{id}", "TraceGame"),
        Endpoint("/games/{id}", "FindGame"),
        Endpoint("/other", "GetGame"),
    };
    listing.endpoints[2].method = 7;
    listing.endpoints[3].method = 0;
    listing.endpoints[4].method = 8;
    listing.endpoints[4].methodName = "TRACE";
    listing.endpoints[5].method = 8;
    listing.endpoints[5].methodName = "PropFind";
    listing.endpoints[6].tags = {"Plugins"};
    const BindingProperty document = OpenApiDocument(listing, "t", "1");
    const BindingProperty& item = At(document, {"paths", "/games/{id}"});
    std::vector<std::string> operations;
    for (const auto& member : item.Members()) {
        operations.push_back(std::string(member.Name()) + " " +
                             std::string(member.Value()["operationId"].GetString()));
    }
    EXPECT_EQ(operations,
              (std::vector<std::string>{"get GetGame", "put PutGame", "trace TraceGame",
                                        "x-any-method AnyGame", "x-method-propfind FindGame"}));
    EXPECT_EQ(Compact(At(document, {"paths", "/other", "get", "operationId"})), R"("GetGame_2")");
    EXPECT_EQ(Compact(At(document, {"paths", "/other", "get", "tags"})), R"(["Plugins"])");
    EXPECT_EQ(Compact(At(item, {"get", "tags"})), "[]");
    EXPECT_EQ(Compact(At(item, {"put", "requestBody", "content", "application/json", "schema"})),
              R"({"$ref":"#/components/schemas/Game"})");
    EXPECT_EQ(Compact(At(item, {"put", "responses"})),
              R"({"200":{"description":"Success"},"default":{"content":{"application/json":)"
              R"({"schema":{"$ref":"#/components/schemas/Error"}}},"description":"Error"}})");
    EXPECT_EQ(Compact(At(item, {"get", "responses", "200"})),
              R"({"content":{"application/json":{"schema":{"$ref":"#/components/schemas/Game"}}},)"
              R"("description":"Success"})");
}

TEST(ApiDocumentsTest, DescriptionListsEndpointsTypesAndEvents) {
    ApiListing listing;
    listing.endpoints = {Endpoint("/games/{gameId}", "GetGame", "Game", {{"gameId", 2, "uint64"}})};
    listing.endpoints.push_back(Endpoint("/p", "Find", "vector<Game>", {{"q", 0, "string"}}));
    listing.endpoints[1].method = 8;
    listing.endpoints[1].methodName = "PROPFIND";
    listing.types = {
        Record("Game", {{.name = "id", .description = "its id", .type = "uint64"}}, "G"),
        Enumeration("Outcome", {"Win"})};
    listing.types[1].enumerators[0].value = -3;
    listing.types[1].tags = {"a", "b"};
    listing.events = {{"OnGame", "Game", "a game changed", {"x"}}};
    EXPECT_EQ(Compact(DescribeApi(listing)),
              R"({"endpoints":[)"
              R"({"arguments":[{"location":"path","name":"gameId","type":"uint64"}],)"
              R"("function":"GetGame","method":"GET","path":"/games/{gameId}","result":"Game"},)"
              R"({"arguments":[{"location":"anywhere","name":"q","type":"string"}],)"
              R"("function":"Find","method":"PROPFIND","path":"/p","result":"vector<Game>"}],)"
              R"("events":[{"description":"a game changed","name":"OnGame","tags":["x"],)"
              R"("type":"Game"}],)"
              R"("types":[{"description":"G","fields":[{"description":"its id","name":"id",)"
              R"("type":"uint64"}],"name":"Game","tags":[]},)"
              R"({"description":"","enumerators":[{"name":"Win","value":-3}],"name":"Outcome",)"
              R"("tags":["a","b"]}]})");
    EXPECT_EQ(Compact(DescribeApi({})), R"({"endpoints":[],"events":[],"types":[]})");
}

}  // namespace
}  // namespace KzoHost
