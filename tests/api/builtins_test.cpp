// The built-ins of every API registry: the help records, the asynchronous
// state and event records with their tags, the OnCallback event, and the
// "Help" function answered by dispatch with the registry.
#include "api/builtins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "api/api_registry.h"
#include "api/binding_async.h"
#include "api/binding_help.h"
#include "api/dispatch.h"
#include "api/owned_response.h"
#include "binding/binding_type_builder.h"
#include "codecs/json_writer.h"
#include "host/endpoint_client.h"

namespace Nimbel {
namespace {

using Tags = std::vector<std::string>;

[[nodiscard]] std::vector<std::string> FieldLine(const BindingTypeDescription& type) {
    std::vector<std::string> lines;
    for (const BindingFieldDescription& field : type.fields) {
        const BindingTypeText text = field.type.Text();
        std::string line = field.name + ": " + std::string(text.type);
        if (!text.element.empty()) line += "<" + std::string(text.element) + ">";
        if (!field.description.empty()) line += " (" + field.description + ")";
        lines.push_back(line);
    }
    for (const auto& [name, enumerator] : type.enumerators) {
        lines.push_back(name + " = " + std::to_string(enumerator.value) + " (" +
                        enumerator.description + ")");
    }
    return lines;
}

TEST(BuiltinsTest, RegistersEveryBuiltinTypeWithItsShape) {
    struct Case {
        const char* name;
        const char* description;
        Tags tags;
        std::vector<std::string> members;
    };
    const Tags help = {"$builtin", "help"};
    const Tags async = {"$builtin", "async"};
    const Case cases[] = {
        {"BindingHelpFormat",
         "Help format for binding functions and types.",
         help,
         {"Epytext = 2 (Python epytext format)", "Full = 1 (Native help format)"}},
        {"BindingFullTypeIdentifier",
         "Describes the type of a value.",
         help,
         {"type: string", "elementType: string"}},
        {"BindingFullArgumentHelp",
         "Describes a function parameter.",
         help,
         {"name: string", "description: string", "type: BindingFullTypeIdentifier",
          "optional: bool"}},
        {"BindingFullFunctionHelp",
         "Describes a function.",
         help,
         {"name: string", "nameSpace: string", "arguments: vector<BindingFullArgumentHelp>",
          "returns: BindingFullTypeIdentifier", "description: string", "help: string",
          "threadSafe: bool", "async: string", "tags: vector<string>"}},
        {"BindingFullEnumValueHelp",
         "Describes an enumerator.",
         help,
         {"name: string", "description: string", "value: int32"}},
        {"BindingFullFieldHelp",
         "Describes a member of a struct.",
         help,
         {"name: string", "description: string", "offset: uint32",
          "type: BindingFullTypeIdentifier", "optional: bool"}},
        {"BindingFullTypeHelp",
         "Describes a struct or enum type.",
         help,
         {"name: string", "nameSpace: string", "size: uint32", "description: string",
          "tags: vector<string>", "fields: vector<BindingFullFieldHelp>",
          "values: vector<BindingFullEnumValueHelp>"}},
        {"BindingFullEventHelp",
         "Describes an event.",
         help,
         {"name: string", "nameSpace: string", "type: BindingFullTypeIdentifier",
          "description: string", "tags: vector<string>"}},
        {"BindingFullApiHelp",
         "Describes the exposed native API.",
         help,
         {"functions: vector<BindingFullFunctionHelp>", "types: vector<BindingFullTypeHelp>",
          "events: vector<BindingFullEventHelp>"}},
        {"BindingAsyncState",
         "Possible states of an asynchronous operation.",
         async,
         {"Cancelled = 3 (The operation was cancelled)",
          "Cancelling = 2 (A request to cancel the operation has been made)",
          "Failed = 5 (The operation encountered an error)", "None = 0 (Invalid state)",
          "Running = 1 (The operation is in flight)",
          "Succeeded = 4 (The operation completed successfully)"}},
        {"BindingGenericEvent",
         "Represents generic data for an event.",
         {"$builtin"},
         {"data: object (Event data)"}},
        {"BindingCallbackEvent",
         "Represents the parameters of a call to a provided callback.",
         {"$builtin"},
         {"id: uint32 (ID of the callback being invoked)",
          "parameters: vector<object> (Callback parameters)"}},
        {"BindingGenericAsyncEvent",
         "Represents generic data for an asynchronous event.",
         async,
         {"asyncToken: uint32 (Asynchronous operation token)", "data: object (Event data)"}},
        {"BindingAsyncFailureEvent",
         "Represents a failed asynchronous operation.",
         async,
         {"asyncToken: uint32 (Asynchronous operation token)", "error: string (Error message)"}},
        {"BindingAsyncCancelEvent",
         "Represents a cancelled asynchronous operation.",
         async,
         {"asyncToken: uint32 (Asynchronous operation token)"}},
    };
    const ApiRegistry api;
    EXPECT_TRUE(api.Types().Initialised());
    EXPECT_EQ(api.Types().TypeSnapshot().size(), std::size(cases)) << "nothing else is built in";
    for (const Case& c : cases) {
        const BindingTypeDescription* type = api.Types().FindType(c.name);
        ASSERT_NE(type, nullptr) << c.name;
        EXPECT_EQ(type->description, c.description) << c.name;
        EXPECT_EQ(type->tags.Texts(), c.tags) << c.name;
        EXPECT_EQ(FieldLine(*type), c.members) << c.name;
    }
    EXPECT_EQ(api.Types().FindNativeType<BindingAsyncState>()->FirstEnumeratorWithValue(0)->name,
              "None");
}

TEST(BuiltinsTest, RegistersOnCallbackOnce) {
    ApiRegistry api;
    const BindingEventDescription* event = api.Types().FindEvent("OnCallback");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->payload, api.Types().FindType("BindingCallbackEvent"));
    EXPECT_EQ(event->description, "Fired when a callback is invoked.");
    EXPECT_EQ(event->tags.Texts(), Tags{"$builtin"});
    RegisterBuiltins(api.Types());
    EXPECT_EQ(api.Types().EventSnapshot().size(), 1u);
    EXPECT_EQ(api.Types().FindEvent("OnCallback"), event) << "an existing event stays as it was";
}

struct HelpService {
    std::vector<BindingAsyncState> States(int32_t) { return {}; }
};

[[nodiscard]] KzoHost::EndpointReply Deliver(const ApiRegistry& api, const Route& route,
                                             const char* path) {
    KzoHost::EndpointCall call;
    call.path = path;
    const KzoHost::RequestRecord request(call, nullptr);
    OwnedResponse response;
    Dispatch(&api, response.Record(), request.Record(), std::span<const Route>(&route, 1));
    return KzoHost::ReadResponse(response.Record());
}

TEST(BuiltinsTest, HelpDescribesTheWholeApiSortedByName) {
    HelpService service;
    ApiRegistry api;
    ASSERT_NE(api.AddTypedEndpoint(RequestMethod::Get, "/z/states", service, &HelpService::States,
                                   {Arg("count", ArgLocation::Query)}, Tags{"Plugins"}),
              nullptr);
    const BindingFullApiHelp help = DescribeApi(api.Types());
    ASSERT_EQ(help.functions.size(), 1u);
    const BindingFullFunctionHelp& function = help.functions[0];
    EXPECT_EQ(function.name, "GetZStates");
    EXPECT_EQ(function.returns.type, "vector");
    EXPECT_EQ(function.returns.elementType, "BindingAsyncState") << "a vector of enumerations";
    ASSERT_EQ(function.arguments.size(), 1u);
    EXPECT_EQ(function.arguments[0].type.type, "int32");
    EXPECT_EQ(function.arguments[0].type.elementType, "");
    EXPECT_EQ(function.tags, Tags{"Plugins"});
    std::vector<std::string> names;
    for (const auto& type : help.types) names.push_back(type.name);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(names.size(), 15u);
    const auto callback = std::find_if(help.types.begin(), help.types.end(), [](const auto& t) {
        return t.name == "BindingCallbackEvent";
    });
    ASSERT_NE(callback, help.types.end());
    ASSERT_EQ(callback->fields.size(), 2u);
    EXPECT_EQ(callback->fields[1].name, "parameters");
    EXPECT_EQ(callback->fields[1].type.type, "vector");
    EXPECT_EQ(callback->fields[1].type.elementType, "object");
    ASSERT_EQ(help.events.size(), 1u);
    EXPECT_EQ(help.events[0].type.type, "BindingCallbackEvent");

    const KzoHost::EndpointReply reply = Deliver(api, api.HelpRoute(), "/help");
    ASSERT_FALSE(reply.error.has_value()) << *reply.error;
    BindingStatus expected = ApiHelpValue(api.Types());
    ASSERT_TRUE(expected.Ok());
    EXPECT_EQ(reply.json, ValueToJson(expected.Value(), &api.Types(), nullptr));
    EXPECT_NE(reply.json.find(R"("name":"GetZStates")"), std::string::npos);
}

TEST(BuiltinsTest, OnlyHelpIsAnsweredAndOnlyWithTheRegistry) {
    ApiRegistry api;
    auto other = BindingTypeRegistry::CreateDetachedFunction("Other", 0);
    other->tags.Add("$builtin");
    const Endpoint otherEndpoint(api.Types(), *other, "/other", RequestMethod::Any, "", nullptr);
    const KzoHost::EndpointReply unsupported = Deliver(api, RouteOf(otherEndpoint), "/other");
    EXPECT_EQ(unsupported.status, 400u);
    EXPECT_EQ(unsupported.error.value_or(""), "Unsupported builtin function");

    KzoHost::EndpointCall call;
    call.path = "/help";
    const KzoHost::RequestRecord request(call, nullptr);
    OwnedResponse response;
    const Route help = api.HelpRoute();
    Dispatch(nullptr, response.Record(), request.Record(), std::span<const Route>(&help, 1));
    const KzoHost::EndpointReply withoutRegistry = KzoHost::ReadResponse(response.Record());
    EXPECT_EQ(withoutRegistry.status, 400u);
    EXPECT_EQ(withoutRegistry.error.value_or(""), "Unsupported builtin function");
}

}  // namespace
}  // namespace Nimbel
