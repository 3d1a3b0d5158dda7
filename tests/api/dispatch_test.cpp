// Dispatch through the endpoint records: argument sources and locations,
// dotted keys and indices, texts of every argument kind, typed arguments,
// bodies of every content type, handler answers and failures, and the
// response record's ownership, kinds and streams.
#include "api/dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/endpoint_records.h"
#include "api/internal/response_record.h"
#include "api/owned_response.h"
#include "diagnostics/allocator.h"
#include "diagnostics/log_level.h"
#include "tests/api/endpoint_fixture.h"
#include "tests/diagnostics/log_test_support.h"

namespace Nimbel {
namespace {

using testing::EndpointFixture;
using testing::Shown;

struct ExpectedAnswer {
    const char* description;
    const char* path;
    std::string expected;  // the JSON answer, or "error: " and the error text
};

void ExpectAnswers(const EndpointFixture& fixture, std::initializer_list<ExpectedAnswer> cases,
                   const std::function<KzoHost::EndpointReply(const char*)>& send) {
    for (const ExpectedAnswer& c : cases) {
        const KzoHost::EndpointReply reply = send(c.path);
        EXPECT_TRUE(reply.delivered) << c.description;
        EXPECT_EQ(Shown(reply), c.expected) << c.description << " (" << c.path << ")";
    }
    static_cast<void>(fixture);
}

class DispatchTest : public EndpointFixture {
protected:
    void ExpectGets(std::initializer_list<ExpectedAnswer> cases) {
        ExpectAnswers(*this, cases, [this](const char* path) { return Get(path); });
    }
};

TEST_F(DispatchTest, PathQueryAndLocations) {
    ExpectGets({
        {"path parameter", "/t/v1/games/123",
         R"({"id":123,"mode":"Aram","name":"game 123","scores":[1,2]})"},
        {"a path argument given in the query", "/t/v1/games/123?gameId=5",
         "error: Argument 'gameId' for 'GetTV1GamesByGameId' was specified in an invalid "
         "location."},
        {"an unknown query name", "/t/v1/games/1?nope=1",
         "error: Unknown argument 'nope' for 'GetTV1GamesByGameId'."},
        {"decoded after matching: an encoded slash stays in the parameter", "/t/v1/echo-text/a%2Fb",
         R"("a/b")"},
        {"plus is a space", "/t/v1/echo-text/x+y", R"("x y")"},
        {"percent and two hex digits", "/t/v1/echo-text/%41%6a", R"("Aj")"},
        {"a percent without two characters after it is dropped", "/t/v1/echo-text/%4", R"("4")"},
        {"query names are decoded like values", "/t/v1/flags?n%61me=%61&fl%61g",
         R"({"flag":true,"name":"a"})"},
        {"a plus in a query name", "/t/v1/echo?value.a+b=1", R"({"a b":"1"})"},
        {"an empty query", "/t/v1/games/12?",
         R"({"id":12,"mode":"Aram","name":"game 12","scores":[1,2]})"},
        {"a query of empty parts", "/t/v1/games/12?&&",
         R"({"id":12,"mode":"Aram","name":"game 12","scores":[1,2]})"},
        {"an empty part between two", "/t/v1/flags?name=a&&flag", R"({"flag":true,"name":"a"})"},
        {"empty parts first and last", "/t/v1/flags?&name=a&", R"({"flag":false,"name":"a"})"},
        {"a part of only \"=\" still names the empty argument", "/t/v1/flags?=x",
         "error: Unknown argument '' for 'GetTV1Flags'."},
        {"a vector answer", "/t/v1/games",
         R"([{"id":1,"mode":"Classic","name":"a","scores":[]},)"
         R"({"id":2,"mode":"Classic","name":"b","scores":[]}])"},
        {"a string answer", "/t/v1/web-url", R"("https://example.test/")"},
    });
}

TEST_F(DispatchTest, DottedKeysAndIndices) {
    ExpectGets({
        {"a member of the argument", "/t/v1/echo?value.b=1", R"({"b":"1"})"},
        {"nested members", "/t/v1/echo?value.a.b=x&value.a.c=y", R"({"a":{"b":"x","c":"y"}})"},
        {"an index grows a collection", "/t/v1/echo?value.2=x", R"([null,null,"x"])"},
        {"a hexadecimal index", "/t/v1/echo?value.0x3=x", R"([null,null,null,"x"])"},
        {"an upper-case hexadecimal prefix", "/t/v1/echo?value.0X2=x", R"([null,null,"x"])"},
        {"f is a hex digit", "/t/v1/echo?value.0xf.a=x",
         R"([null,null,null,null,null,null,null,null,null,null,)"
         R"(null,null,null,null,null,{"a":"x"}])"},
        {"g is no hex digit", "/t/v1/echo?value.0xg=x",
         "error: Index 0xg is in an incorrect format"},
        {"a prefix without digits", "/t/v1/echo?value.0x=x",
         "error: Index 0x is in an incorrect format"},
        {"an octal index", "/t/v1/echo?value.010=x",
         R"([null,null,null,null,null,null,null,null,"x"])"},
        {"an index and a member", "/t/v1/echo?value.1.k=v", R"([null,{"k":"v"}])"},
        {"trailing characters", "/t/v1/echo?value.1z=x",
         "error: Index 1z is in an incorrect format"},
        {"an octal index with a digit 8", "/t/v1/echo?value.08=x",
         "error: Index 08 is in an incorrect format"},
        {"2^31", "/t/v1/echo?value.2147483648=x", "error: Index 2147483648 is out of range"},
        {"2^31 in hexadecimal", "/t/v1/echo?value.0x80000000=x",
         "error: Index 0x80000000 is out of range"},
        {"beyond 64 bits", "/t/v1/echo?value.99999999999999999999=x",
         "error: Index 99999999999999999999 is out of range"},
        {"beyond what a collection holds", "/t/v1/echo?value.268435455=x",
         "error: Index 268435455 is out of range"},
    });
}

TEST_F(DispatchTest, EmptyTextsForEachArgumentKind) {
    ExpectGets({
        {"a flag without a value is true", "/t/v1/flags?flag&name=n",
         R"({"flag":true,"name":"n"})"},
        {"a bool not given is false", "/t/v1/flags?name=n", R"({"flag":false,"name":"n"})"},
        {"a string needs a value", "/t/v1/flags?name",
         "error: Expected value for argument 'name'."},
        {"a number needs a value",
         "/t/v1/account?accountId=", "error: Expected value for argument 'accountId'."},
        {"an object becomes an empty structure", "/t/v1/echo?value", "{}"},
        {"a record becomes an empty structure", "/t/v1/record?record",
         R"({"id":0,"mode":"Classic","name":"","scores":[]})"},
        {"an empty text inside an argument stays a string", "/t/v1/echo?value.a=", R"({"a":""})"},
    });
}

TEST_F(DispatchTest, TextsOfCompositeArgumentsChooseTheirReader) {
    ExpectGets({
        {"JSON in the query", "/t/v1/record?record=%7B%22id%22%3A5%7D",
         R"({"id":5,"mode":"Classic","name":"","scores":[]})"},
        {"JSON after blanks", "/t/v1/echo?value=++%5B1%2C2%5D", "[1,2]"},
        {"YAML in the query", "/t/v1/echo?value=---%0Aa%3A+1", R"({"a":1})"},
        {"MessagePack in the query (a fixmap)", "/t/v1/echo?value=%81%A1k%01", R"({"k":1})"},
        {"MessagePack texts are bytes: a zero byte is a value", "/t/v1/echo?value=%81%A1k%00",
         R"({"k":0})"},
        {"MessagePack: the first fixmap byte", "/t/v1/echo?value=%80", "{}"},
        {"MessagePack: the first fixarray byte", "/t/v1/echo?value=%90", "[]"},
        {"MessagePack: the last fixarray byte",
         "/t/v1/echo?value=%9F%01%01%01%01%01%01%01%01%01%01%01%01%01%01%01",
         "[1,1,1,1,1,1,1,1,1,1,1,1,1,1,1]"},
        {"MessagePack: array 16", "/t/v1/echo?value=%DC%00%01%01", "[1]"},
        {"MessagePack: array 32", "/t/v1/echo?value=%DD%00%00%00%01%01", "[1]"},
        {"MessagePack: map 16", "/t/v1/echo?value=%DE%00%01%A1k%01", R"({"k":1})"},
        {"MessagePack: map 32", "/t/v1/echo?value=%DF%00%00%00%01%A1k%01", R"({"k":1})"},
        {"below the fixmap bytes (a fixint) is a text", "/t/v1/echo?value=%7F%01",
         "\"\x7F\\u0001\""},
        {"above the fixarray bytes (a fixstr) is a text (its lone byte written as U+FFFD)",
         "/t/v1/echo?value=%A1k",
         "\"\xEF\xBF\xBD"
         "k\""},
        {"below array 16 (str 32) is a text", "/t/v1/echo?value=%DB%01", "\"\xEF\xBF\xBD\\u0001\""},
        {"above map 32 (a negative fixint) is a text", "/t/v1/echo?value=%E0%01",
         "\"\xEF\xBF\xBD\\u0001\""},
        {"a vertical tab is no blank before JSON", "/t/v1/echo?value=%0B%5B1%5D", R"("\u000B[1]")"},
        {"JSON after a tab, a carriage return and a line feed", "/t/v1/echo?value=%09%0D%0A%5B1%5D",
         "[1]"},
        {"a string argument keeps JSON as its text", "/t/v1/flags?name=%7B%22a%22%3A1%7D",
         R"({"flag":false,"name":"{\"a\":1}"})"},
        {"broken JSON", "/t/v1/echo?value=%7Bx",
         "error: Couldn't deserialize JSON value for parameter 'value' of 'GetTV1Echo': Error: "
         "Missing a name for object member. at offset 1."},
        {"a record from a text that is no structure", "/t/v1/record?record=5",
         "error: Couldn't assign value to 'record' of type TestProbeRecord because the input not a "
         "structure."},
    });
}

TEST_F(DispatchTest, HeaderArgumentsByNameWithoutRegardToCase) {
    struct HeaderCase {
        const char* description;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string expected;
    };
    const HeaderCase cases[] = {
        {"the lower-cased name", {{"accountid", "42"}}, "42"},
        {"the argument's own spelling", {{"accountId", "42"}}, "42"},
        {"upper case", {{"ACCOUNTID", "42"}}, "42"},
        {"another header", {{"account", "42"}}, "error: A value for 'accountId' is required."},
        {"a repeated header keeps the later value", {{"accountid", "1"}, {"accountid", "2"}}, "2"},
        {"names that differ by case are one name: the later value",
         {{"AccountId", "1"}, {"accountid", "2"}},
         "2"},
        {"...in either order", {{"accountid", "2"}, {"ACCOUNTID", "1"}}, "1"},
    };
    for (const HeaderCase& c : cases) {
        KzoHost::EndpointCall call;
        call.path = "/t/v1/account";
        call.headers = c.headers;
        EXPECT_EQ(Shown(Send(call)), c.expected) << c.description;
    }
    KzoHost::EndpointCall both;
    both.path = "/t/v1/account?accountId=7";
    both.headers = {{"accountid", "42"}};
    EXPECT_EQ(Shown(Send(both)), "7") << "the query is bound after the headers";
}

TEST_F(DispatchTest, TypedArgumentsStartAfterThePathParameters) {
    struct TypedCase {
        const char* description;
        std::vector<std::pair<std::optional<std::string>, BindingProperty>> arguments;
        std::string expected;
    };
    std::vector<TypedCase> cases;
    cases.push_back({"none", {}, R"({"count":0,"extra":null,"gameId":3})"});
    cases.push_back({"the first unnamed one is argument 1", {}, ""});
    cases.back().arguments.emplace_back(std::nullopt, BindingProperty("x"));
    cases.back().expected = R"({"count":0,"extra":"x","gameId":3})";
    cases.push_back({"unnamed ones follow in order", {}, ""});
    cases.back().arguments.emplace_back(std::nullopt, BindingProperty("x"));
    cases.back().arguments.emplace_back(std::nullopt, BindingProperty(9));
    cases.back().expected = R"({"count":9,"extra":"x","gameId":3})";
    cases.push_back({"by name", {}, ""});
    cases.back().arguments.emplace_back("count", BindingProperty(4));
    cases.back().expected = R"({"count":4,"extra":null,"gameId":3})";
    cases.push_back({"a name replaces the path's value", {}, ""});
    cases.back().arguments.emplace_back("gameId", BindingProperty(8u));
    cases.back().expected = R"({"count":0,"extra":null,"gameId":8})";
    cases.push_back({"an unknown name", {}, ""});
    cases.back().arguments.emplace_back("nope", BindingProperty(1));
    cases.back().expected = "error: Unknown argument 'nope' for 'PostTV1TypedByGameId'.";
    cases.push_back({"beyond the last argument", {}, ""});
    cases.back().arguments.emplace_back(std::nullopt, BindingProperty(1));
    cases.back().arguments.emplace_back(std::nullopt, BindingProperty(2));
    cases.back().arguments.emplace_back(std::nullopt, BindingProperty(3));
    cases.back().expected = "error: Unknown argument '3' for 'PostTV1TypedByGameId'.";
    for (const TypedCase& c : cases) {
        KzoHost::EndpointCall call;
        call.method = 6;
        call.path = "/t/v1/typed/3";
        for (const auto& [name, value] : c.arguments) call.arguments.emplace_back(name, value);
        EXPECT_EQ(Shown(Send(call)), c.expected) << c.description;
    }
}

TEST_F(DispatchTest, BodiesOfEveryContentType) {
    struct BodyCase {
        const char* description;
        const char* contentType;
        std::string body;
        std::string expected;
    };
    const BodyCase cases[] = {
        {"JSON", "application/json", R"({"a":[1,2]})", R"({"a":[1,2]})"},
        {"JSON with parameters and capitals", "Application/JSON; charset=utf-8", "[true]",
         "[true]"},
        {"JSON:API", "application/vnd.api+json", R"({"b":1})", R"({"b":1})"},
        {"JSON without a terminator is read within its bytes", "application/json", "[1,2,3]",
         "[1,2,3]"},
        {"a NUL inside a JSON body", "application/json", std::string("[1]\0[2]", 7),
         "error: The body holds a NUL character at offset 3."},
        {"a NUL first in a JSON body", "application/json", std::string("\0[1]", 4),
         "error: The body holds a NUL character at offset 0."},
        {"a NUL inside a YAML body", "application/x-yaml", std::string("a: 1\n\0b: 2\n", 11),
         "error: The body holds a NUL character at offset 5."},
        {"a terminating NUL ends a JSON body", "application/json", std::string("{\"a\":1}\0", 8),
         R"({"a":1})"},
        {"several terminating NULs end a YAML body", "application/x-yaml",
         std::string("a: 1\n\0\0\0", 8), R"({"a":1})"},
        {"a NUL before the last byte is no terminator", "application/json",
         std::string("[1]\0\0 ", 6), "error: The body holds a NUL character at offset 3."},
        {"a JSON escape of NUL is no NUL byte: the reader cuts the string at it, as documented",
         "application/json", R"(["a\u0000b"])", R"(["a"])"},
        {"MessagePack bodies are bytes: zeros are values", "application/x-msgpack",
         std::string("\x92\x00\x00", 3), "[0,0]"},
        {"broken JSON", "application/json", "[1,", "error: Error: Invalid value. at offset 3."},
        {"YAML", "application/x-yaml", "a: 1\nb: [x]\n", R"({"a":1,"b":["x"]})"},
        {"MessagePack", "application/x-msgpack",
         "\x82\xA1"
         "a\x01\xA1"
         "b\xC3",
         R"({"a":1,"b":true})"},
        {"MessagePack with bytes after its value", "application/x-msgpack", "\x01\x02",
         "error: Extra MessgePack data found in body"},
        {"another content type", "text/plain", "x", "error: Unsupported body content type"},
        {"no content type", "", "x", "error: Unsupported body content type"},
    };
    for (const BodyCase& c : cases) {
        KzoHost::EndpointCall call;
        call.method = 7;
        call.path = "/t/v1/body";
        call.contentType = c.contentType;
        call.body = c.body;
        EXPECT_EQ(Shown(Send(call)), c.expected) << c.description;
    }
    KzoHost::EndpointCall noBody;
    noBody.method = 7;
    noBody.path = "/t/v1/body";
    noBody.contentType = "text/plain";
    EXPECT_EQ(Shown(Send(noBody)), "") << "without a body the content type is not looked at";
}

TEST_F(DispatchTest, HandlerAnswersAndFailures) {
    struct AnswerCase {
        const char* description;
        const char* path;
        KzoWord status;
        std::string shown;
    };
    const AnswerCase cases[] = {
        {"a record", "/t/v1/games/1", 0,
         R"({"id":1,"mode":"Aram","name":"game 1","scores":[1,2]})"},
        {"the not-found maker", "/t/v1/games/404", 404, "error: Not found"},
        {"the internal-error maker", "/t/v1/games/500", 500, "error: Internal server error"},
        {"a handler that throws", "/t/v1/games/999", 500, "error: Internal server error"},
        {"an argument that does not convert is the caller's fault", "/t/v1/games/abc", 400,
         "error: Value abc for 'gameId' of type uint64 is in an incorrect format"},
    };
    for (const AnswerCase& c : cases) {
        const KzoHost::EndpointReply reply = Get(c.path);
        EXPECT_EQ(reply.status, c.status) << c.description;
        EXPECT_EQ(Shown(reply), c.shown) << c.description;
    }
}

TEST_F(DispatchTest, ArgumentsThatDoNotBindAreAnsweredWithStatus400) {
    struct StatusCase {
        const char* description;
        KzoWord method;
        const char* path;
        const char* contentType;
        std::string body;
        std::string shown;
        KzoWord status = 400;
    };
    const StatusCase cases[] = {
        {"an unknown argument", 2, "/t/v1/games/1?nope=1", "", "",
         "error: Unknown argument 'nope' for 'GetTV1GamesByGameId'."},
        {"an invalid location", 2, "/t/v1/games/1?gameId=5", "", "",
         "error: Argument 'gameId' for 'GetTV1GamesByGameId' was specified in an invalid "
         "location."},
        {"an empty text", 2, "/t/v1/account?accountId", "", "",
         "error: Expected value for argument 'accountId'."},
        {"an index in an incorrect format", 2, "/t/v1/echo?value.1z=x", "", "",
         "error: Index 1z is in an incorrect format"},
        {"an index out of range", 2, "/t/v1/echo?value.2147483648=x", "", "",
         "error: Index 2147483648 is out of range"},
        {"a text in an incorrect format", 2, "/t/v1/account?accountId=x1", "", "",
         "error: Value x1 for 'accountId' of type uint64 is in an incorrect format"},
        {"a missing argument", 2, "/t/v1/account", "", "",
         "error: A value for 'accountId' is required."},
        {"a text that does not deserialize", 2, "/t/v1/echo?value=%7Bx", "", "",
         "error: Couldn't deserialize JSON value for parameter 'value' of 'GetTV1Echo': Error: "
         "Missing a name for object member. at offset 1."},
        {"a NUL in a path parameter", 2, "/t/v1/games/3037071829%00junk", "", "",
         "error: Argument 'gameId' holds a NUL character."},
        {"a NUL in a query value", 2, "/t/v1/flags?name=a%00b", "", "",
         "error: Argument 'name' holds a NUL character."},
        {"a NUL in a member's text", 2, "/t/v1/echo?value.a=x%00", "", "",
         "error: Argument 'value' holds a NUL character."},
        {"a NUL after JSON", 2, "/t/v1/echo?value=%5B1%5D%00%5B2%5D", "", "",
         "error: Argument 'value' holds a NUL character."},
        {"a NUL after YAML", 2, "/t/v1/echo?value=---%0Aa%3A+1%00", "", "",
         "error: Argument 'value' holds a NUL character."},
        {"a body of another content type", 7, "/t/v1/body", "text/plain", "x",
         "error: Unsupported body content type"},
        {"a NUL in a JSON body", 7, "/t/v1/body", "application/json", std::string("1\0x", 3),
         "error: The body holds a NUL character at offset 1."},
        // Statuses the handler chose stay as written.
        {"the not-found maker", 2, "/t/v1/games/404", "", "", "error: Not found", 404},
    };
    for (const StatusCase& c : cases) {
        KzoHost::EndpointCall call;
        call.method = c.method;
        call.path = c.path;
        call.contentType = c.contentType;
        call.body = c.body;
        const KzoHost::EndpointReply reply = Send(call);
        EXPECT_EQ(Shown(reply), c.shown) << c.description;
        EXPECT_EQ(reply.status, c.status) << c.description;
    }
    KzoHost::EndpointCall typed;
    typed.method = 6;
    typed.path = "/t/v1/typed/3";
    typed.arguments.emplace_back("nope", BindingProperty(1));
    const KzoHost::EndpointReply reply = Send(typed);
    EXPECT_EQ(Shown(reply), "error: Unknown argument 'nope' for 'PostTV1TypedByGameId'.");
    EXPECT_EQ(reply.status, 400u) << "a typed argument that names no argument";
}

TEST_F(DispatchTest, AHandlerThatThrowsIsLoggedWithWhatItThrew) {
    testing::ScopedFreshLogger logger;
    testing::CaptureLogTarget capture;
    capture.Configure(kLogOkay, 0, 0, "#M");
    EXPECT_EQ(Get("/t/v1/games/999").status, 500u);
    const auto entries = capture.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].level, kLogError);
    EXPECT_EQ(entries[0].message, "Request for /t/v1/games/999 failed: handler failure");
}

TEST_F(DispatchTest, AFullAnswerCarriesStatusTextHeadersAndFlags) {
    const Endpoint& raw = *api_.Endpoints().back();
    KzoHost::EndpointCall call;
    call.path = "/t/v1/raw";
    const KzoHost::RequestRecord request(call, nullptr);
    alignas(KzoWord) CoreResponse response{};
    HandleEndpointRequest(raw, request.Record(), response);
    EXPECT_EQ(+response.status, 201u);
    EXPECT_EQ(+response.flag, 7);
    EXPECT_EQ(+response.kind, 0u) << "kinds beyond 3 reach the core as 0";
    EXPECT_STREQ(response.text, "created");
    const KzoHost::EndpointReply reply = KzoHost::ReadResponse(response);
    EXPECT_EQ(reply.json, R"("raw")");
    const std::vector<std::pair<std::string, std::string>> headers = {{"X-One", "1"},
                                                                      {"X-Two", "2"}};
    EXPECT_EQ(reply.headers, headers);
    response.release(&response);
    const CoreResponse zero{};
    EXPECT_EQ(std::memcmp(&response, &zero, sizeof response), 0) << "release zeroes the record";
}

// A core may take the release function out of the record and clear the field
// before calling it; the function must still free exactly what the record
// holds (the sanitizer build sees a wrong free or a leak).
TEST_F(DispatchTest, EveryKindOfAnswerIsReleasedWithItsReleaseFieldCleared) {
    struct Case {
        const char* description;
        size_t endpoint;  // in the order the fixture adds them
        const char* path;
        uint32_t status;
        const char* errorText;  // null for a success
    };
    const Case cases[] = {
        {"a record written as one block", 0, "/t/v1/games/123", 0, nullptr},
        {"a list of records", 1, "/t/v1/games", 0, nullptr},
        {"an empty answer", 3, "/t/v1/echo", 0, nullptr},
        {"text and headers beside the value", 10, "/t/v1/raw", 201, nullptr},
        {"an error the handler chose", 0, "/t/v1/games/404", 404, "Not found"},
        {"a handler that threw", 0, "/t/v1/games/999", 500, "Internal server error"},
    };
    const CoreResponse zero{};
    for (const Case& c : cases) {
        KzoHost::EndpointCall call;
        call.path = c.path;
        const KzoHost::RequestRecord request(call, nullptr);
        alignas(KzoWord) CoreResponse response{};
        HandleEndpointRequest(*api_.Endpoints()[c.endpoint], request.Record(), response);
        EXPECT_EQ(+response.status, c.status) << c.description;
        if (c.errorText == nullptr) {
            EXPECT_EQ(response.errorText, nullptr) << c.description;
        } else {
            EXPECT_STREQ(response.errorText, c.errorText) << c.description;
            EXPECT_EQ(+response.ownsErrorText, 1) << c.description << ": the error flag is set";
        }
        const CoreResponseReleaseFn release = response.release;
        ASSERT_NE(release, nullptr) << c.description;
        response.release = nullptr;
        release(&response);
        EXPECT_EQ(std::memcmp(&response, &zero, sizeof response), 0) << c.description;
    }
}

TEST_F(DispatchTest, APathOutsideTheEndpointsTemplateIsAnInvalidFunction) {
    const Endpoint& games = *api_.Endpoints().front();
    struct RouteCase {
        const char* description;
        KzoWord method;
        const char* path;
    };
    const RouteCase cases[] = {
        {"another path", 2, "/t/v1/web-url"},
        {"a path with one more segment", 2, "/t/v1/games/1/2"},
        {"a trailing slash the endpoint's path lost", 2, "/t/v1/games/1/"},
        {"another method", 6, "/t/v1/games/1"},
        {"a method code out of range", 77, "/t/v1/games/1"},
    };
    for (const RouteCase& c : cases) {
        KzoHost::EndpointCall call;
        call.method = c.method;
        call.path = c.path;
        const KzoHost::RequestRecord request(call, nullptr);
        OwnedResponse response;
        HandleEndpointRequest(games, request.Record(), response.Record());
        const KzoHost::EndpointReply reply = KzoHost::ReadResponse(response.Record());
        EXPECT_EQ(reply.status, 404u) << c.description;
        EXPECT_EQ(Shown(reply), "error: Invalid function") << c.description;
    }
}

TEST_F(DispatchTest, ARecordWithoutContextIsAnInvalidFunction) {
    KzoHost::EndpointCall call;
    call.path = "/t/v1/games/1";
    const KzoHost::EndpointReply reply = KzoHost::CallEndpoint(&OnEndpointRequest, nullptr, call);
    EXPECT_EQ(reply.status, 404u);
    EXPECT_EQ(Shown(reply), "error: Invalid function");
}

TEST_F(DispatchTest, ResponsesGiveBackEveryBlockTheyTook) {
    const MemoryStats before = ReadMemoryStats();
    for (const char* path : {"/t/v1/games/1", "/t/v1/games/404", "/t/v1/games/999", "/t/v1/raw",
                             "/t/v1/echo?value.1z=x"}) {
        static_cast<void>(Get(path));
    }
    const MemoryStats after = ReadMemoryStats();
    EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees)
        << "every response buffer from the counting allocator is freed by its release";
}

// A body of `text` delivered `chunk` bytes per read; counts its destruction.
class ChunkedStream final : public ResponseStream {
public:
    ChunkedStream(std::string text, uint32_t chunk, int& destroyed)
        : text_(std::move(text)), chunk_(chunk), destroyed_(destroyed) {}
    ~ChunkedStream() override { ++destroyed_; }
    bool Read(uint8_t* buffer, uint32_t& size, uint8_t& more) override {
        if (chunk_ == 0) throw std::runtime_error("unreadable");
        const size_t count = std::min<size_t>({size, chunk_, text_.size() - position_});
        std::memcpy(buffer, text_.data() + position_, count);
        position_ += count;
        size = static_cast<uint32_t>(count);
        more = position_ < text_.size() ? 1 : 0;
        return true;
    }
    uint64_t ExpectedSize() const override { return text_.size(); }

private:
    std::string text_;
    uint32_t chunk_;
    size_t position_ = 0;
    int& destroyed_;
};

// What a handler's CallResult writes into the record, read back through the
// record the way the core reads it.
TEST(ResponseRecordTest, KindsOneToThreePassAndEveryOtherBecomesZero) {
    const std::pair<uint32_t, KzoWord> cases[] = {{0, 0}, {1, 1}, {2, 2},
                                                  {3, 3}, {4, 0}, {0xFFFFFFFFu, 0}};
    for (const auto& [kind, passed] : cases) {
        CallResult result;
        result.kind = kind;
        OwnedResponse response;
        internal::ResetResponse(response.Record());
        internal::FillResponse(response.Record(), result, nullptr);
        EXPECT_EQ(+response->kind, passed) << kind;
    }
}

TEST(ResponseRecordTest, AStreamIsReadThroughTheRecordAndClosedOnce) {
    struct Case {
        const char* description;
        uint32_t chunk;
        uint32_t bufferSize;
        bool readable;
        size_t reads;
    };
    const Case cases[] = {
        {"in chunks of the stream's size", 4, 64, true, 3},
        {"in chunks of the reader's buffer", 64, 3, true, 4},
        {"a stream that throws reads as a failed read", 0, 64, false, 1},
    };
    const std::string body = "0123456789";
    for (const Case& c : cases) {
        int destroyed = 0;
        CallResult result;
        result.stream = std::make_unique<ChunkedStream>(body, c.chunk, destroyed);
        alignas(KzoWord) CoreResponse response{};
        internal::ResetResponse(response);
        internal::FillResponse(response, result, nullptr);
        // The record is packed: its function words are copied out, never bound by reference.
        const CoreStreamReadFn streamRead = response.streamRead;
        ASSERT_NE(streamRead, nullptr) << c.description;
        EXPECT_EQ(+response.expectedSize, body.size()) << c.description;
        std::string read;
        size_t reads = 0;
        uint8_t more = 1;
        bool ok = true;
        while (more != 0 && ok && reads < 100) {
            std::vector<uint8_t> buffer(c.bufferSize);
            uint32_t size = c.bufferSize;
            ok = streamRead(response.stream, buffer.data(), &size, &more);
            ++reads;
            if (ok) read.append(reinterpret_cast<const char*>(buffer.data()), size);
        }
        EXPECT_EQ(ok, c.readable) << c.description;
        EXPECT_EQ(reads, c.reads) << c.description;
        if (c.readable) {
            EXPECT_EQ(read, body) << c.description;
        }
        EXPECT_EQ(destroyed, 0) << c.description << ": the record owns the stream until closed";
        response.streamClose(response.stream);
        EXPECT_EQ(destroyed, 1) << c.description;
        response.release(&response);
        EXPECT_EQ(destroyed, 1) << c.description << ": releasing the record leaves it closed";
    }
}

}  // namespace
}  // namespace Nimbel
