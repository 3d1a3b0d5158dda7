// The API description as the core reads it: every record's fields read back
// by value, the chains of every array, the endpoint records' copies of their
// function records, contexts, callbacks and argument locations.
#include "api/api_description.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/api_registry.h"
#include "api/endpoint_records.h"
#include "binding/binding_type_builder.h"
#include "host/endpoint_client.h"

namespace Nimbel {
namespace {

enum class Letter : int32_t { A = 1, B = 2, Minus = -3 };
struct Item {
    int32_t count = 0;
    std::vector<Letter> letters;
};
struct Hollow {};

struct Service {
    std::vector<Item> List(int32_t count, const std::string& /*label*/) {
        return {Item{count, {}}};
    }
    std::string Name(uint64_t id) { return name + std::to_string(id); }
    std::string name = "n";
};

// Reads every record of a chain by value and checks it ends where the count says.
template <class Record, class Next>
[[nodiscard]] std::vector<Record> ReadChain(const Record* first, KzoWord count, Next next) {
    std::vector<Record> records;
    for (const Record* at = first; at != nullptr; at = next(records.back())) {
        const Record copy = *at;
        records.push_back(copy);
        if (records.size() > count) break;
    }
    return records;
}
template <class Record>
[[nodiscard]] std::vector<Record> ReadChain(const Record* first, KzoWord count) {
    return ReadChain(first, count, [](const Record& record) { return record.next; });
}

class ApiDescriptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        BindingTypeBuilder<Letter>(api_.Types(), "TestLetter")
            .Enumerator("B", Letter::B, "bee")
            .Enumerator("A", Letter::A)
            .Enumerator("Minus", Letter::Minus)
            .Finish();
        BindingTypeBuilder<Item>(api_.Types(), "TestItem")
            .Field("count", &Item::count, {.description = "how many"})
            .Field("letters", &Item::letters)
            .Tag("t1")
            .Finish();
        BindingTypeBuilder<Hollow>(api_.Types(), "TestHollow").Finish();
        const std::vector<std::string> tags = {"Plugins", "Plugin test"};
        list_ =
            api_.AddTypedEndpoint(RequestMethod::Get, "/t/items/{count}/", service_, &Service::List,
                                  {Arg("count"), Arg("name", ArgLocation::Header)}, tags);
        name_ = api_.AddTypedEndpoint(RequestMethod::Get, "/t/items/{id}", service_, &Service::Name,
                                      {Arg("id")}, tags);
        ASSERT_NE(list_, nullptr);
        ASSERT_NE(name_, nullptr);
        root_ = *api_.BuildDescription();
    }

    [[nodiscard]] const TypeRecord* FindType(const char* typeName) const {
        const TypeRecord* at = root_.types;
        for (KzoWord i = 0; at != nullptr && i < root_.typeCount; ++i) {
            const TypeRecord record = *at;
            if (std::strcmp(record.name, typeName) == 0) return at;
            at = record.next;
        }
        return nullptr;
    }

    Service service_;
    ApiRegistry api_;
    const Endpoint* list_ = nullptr;
    const Endpoint* name_ = nullptr;
    ApiDescriptionRoot root_{};
};

TEST_F(ApiDescriptionTest, EveryArrayIsContiguousAndChained) {
    const auto endpoints =
        ReadChain(root_.endpoints, root_.endpointCount, [](const EndpointRecord& r) {
            return reinterpret_cast<const EndpointRecord*>(r.function.next);
        });
    ASSERT_EQ(endpoints.size(), 2u);
    EXPECT_EQ(reinterpret_cast<const EndpointRecord*>(endpoints[0].function.next),
              root_.endpoints + 1);
    EXPECT_EQ(+endpoints[1].function.next, nullptr);
    const auto types = ReadChain(root_.types, root_.typeCount);
    EXPECT_EQ(types.size(), root_.typeCount);
    for (size_t i = 0; i + 1 < types.size(); ++i) EXPECT_EQ(+types[i].next, root_.types + i + 1);
    EXPECT_EQ(+types.back().next, nullptr);
    const auto events = ReadChain(root_.events, root_.eventCount);
    ASSERT_EQ(events.size(), 1u) << "the built-in OnCallback only";
    EXPECT_EQ(+events[0].next, nullptr);
}

TEST_F(ApiDescriptionTest, EndpointRecordsCopyTheirFunctionAndSayHowToReachThem) {
    const EndpointRecord first = root_.endpoints[0];
    const FunctionRecord function = first.function;
    EXPECT_STREQ(function.name, "GetTItemsByCount");
    EXPECT_STREQ(first.pathTemplate, "/t/items/{count}") << "one trailing slash removed";
    EXPECT_EQ(+first.method, 2u);
    EXPECT_STREQ(first.methodName, "");
    EXPECT_EQ(+first.flag, 0);
    EXPECT_EQ(+first.textLists, nullptr);
    EXPECT_EQ(+first.textListCount, 0u);
    EXPECT_EQ(+function.reserved0, 0u);
    EXPECT_EQ(+first.onRequest, &OnEndpointRequest);
    const EndpointContext context = *reinterpret_cast<const EndpointContext*>(function.reserved1);
    EXPECT_EQ(context.registry, &api_);
    EXPECT_EQ(context.endpoint, list_);
    const ArgumentLocationEntry locations[2] = {first.argumentLocations[0],
                                                first.argumentLocations[1]};
    EXPECT_EQ(+locations[0].reserved, 0u);
    EXPECT_EQ(+locations[0].location, 2u) << "named in the template";
    EXPECT_EQ(+locations[1].location, 4u);

    EXPECT_EQ(+function.argumentCount, 2u);
    const auto arguments = ReadChain(function.arguments, function.argumentCount);
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_STREQ(arguments[0].name, "count");
    EXPECT_EQ(+arguments[0].kind, 6u);
    EXPECT_EQ(+arguments[0].elementKind, 0u);
    EXPECT_STREQ(arguments[0].typeName, "");
    EXPECT_EQ(+arguments[0].optional, 0);
    EXPECT_STREQ(arguments[1].name, "name");
    EXPECT_EQ(+arguments[1].kind, 12u);
    EXPECT_EQ(+function.resultKind, 15u);
    EXPECT_EQ(+function.resultElementKind, 17u);
    EXPECT_STREQ(function.resultTypeName, "TestItem");
    EXPECT_EQ(+function.tagCount, 2u);
    EXPECT_STREQ(function.tags[0], "Plugins");
    EXPECT_STREQ(function.tags[1], "Plugin test");
    EXPECT_STREQ(function.asyncTypeName, "");
    EXPECT_EQ(+function.threadSafe, 0);

    const EndpointRecord second = root_.endpoints[1];
    EXPECT_STREQ(second.function.name, "GetTItemsById");
    EXPECT_EQ(+second.function.resultKind, 12u);
    EXPECT_STREQ(second.function.resultTypeName, "");
}

TEST_F(ApiDescriptionTest, TypeRecordsPointAtFieldsOrEnumerators) {
    const TypeRecord* letterRecord = FindType("TestLetter");
    ASSERT_NE(letterRecord, nullptr);
    const TypeRecord letter = *letterRecord;
    EXPECT_EQ(+letter.fields, nullptr);
    EXPECT_EQ(+letter.size, 4u);
    EXPECT_EQ(+letter.memberCount, 3u);
    const auto enumerators = ReadChain(letter.enumerators, letter.memberCount);
    ASSERT_EQ(enumerators.size(), 3u);
    EXPECT_STREQ(enumerators[0].name, "A") << "enumerators in name order";
    EXPECT_EQ(+enumerators[0].value, 1u);
    EXPECT_STREQ(enumerators[1].name, "B");
    EXPECT_STREQ(enumerators[1].description, "bee");
    EXPECT_STREQ(enumerators[2].name, "Minus");
    EXPECT_EQ(static_cast<int32_t>(enumerators[2].value), -3);

    const TypeRecord item = *FindType("TestItem");
    EXPECT_EQ(+item.enumerators, nullptr);
    EXPECT_EQ(+item.size, sizeof(Item));
    EXPECT_EQ(+item.tagCount, 1u);
    EXPECT_STREQ(item.tags[0], "t1");
    const auto fields = ReadChain(item.fields, item.memberCount);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_STREQ(fields[0].name, "count");
    EXPECT_STREQ(fields[0].description, "how many");
    EXPECT_EQ(+fields[0].offset, offsetof(Item, count));
    EXPECT_EQ(+fields[0].kind, 6u);
    EXPECT_STREQ(fields[0].typeName, "");
    EXPECT_EQ(+fields[1].offset, offsetof(Item, letters));
    EXPECT_EQ(+fields[1].kind, 15u);
    EXPECT_EQ(+fields[1].elementKind, 16u);
    EXPECT_STREQ(fields[1].typeName, "TestLetter");

    const TypeRecord hollow = *FindType("TestHollow");
    EXPECT_EQ(+hollow.fields, nullptr);
    EXPECT_EQ(+hollow.enumerators, nullptr);
    EXPECT_EQ(+hollow.memberCount, 0u);
    EXPECT_EQ(+hollow.tags, nullptr);
    EXPECT_EQ(+hollow.tagCount, 0u);
}

TEST_F(ApiDescriptionTest, ARequestThroughARecordReachesThatRecordsEndpoint) {
    // Both templates fit /t/items/5; each record's callback serves its own endpoint.
    for (size_t i = 0; i < 2; ++i) {
        const EndpointRecord record = root_.endpoints[i];
        KzoHost::EndpointCall call;
        call.path = "/t/items/5";
        call.headers = {{"name", "x"}};
        const KzoHost::EndpointReply reply = KzoHost::CallEndpoint(
            record.onRequest, reinterpret_cast<void*>(record.function.reserved1), call);
        EXPECT_EQ(reply.json, i == 0 ? R"([{"count":5,"letters":[]}])" : R"("n5")") << i;
    }
}

TEST_F(ApiDescriptionTest, ARebuildReplacesTheStorage) {
    ApiDescriptionRoot rebuilt = *api_.BuildDescription();
    EXPECT_EQ(+rebuilt.endpointCount, 2u);
    EXPECT_EQ(+rebuilt.typeCount, root_.typeCount);
    ApiRegistry empty;
    const ApiDescriptionRoot nothing = *empty.BuildDescription();
    EXPECT_EQ(+nothing.endpoints, nullptr);
    EXPECT_EQ(+nothing.endpointCount, 0u);
    EXPECT_EQ(+nothing.eventCount, 1u);
}

TEST(ApiDescriptionRegistryTest, RefusesEndpointsItCannotRegister) {
    Service service;
    ApiRegistry api;
    const std::vector<std::string> tags;
    EXPECT_NE(api.AddTypedEndpoint(RequestMethod::Get, "/a/{id}", service, &Service::Name,
                                   {Arg("id")}, tags),
              nullptr);
    EXPECT_EQ(api.AddTypedEndpoint(RequestMethod::Get, "/a/{id}/", service, &Service::Name,
                                   {Arg("id")}, tags),
              nullptr)
        << "the same function name";
    EXPECT_EQ(api.AddTypedEndpoint(RequestMethod::Get, "/b", service, &Service::Name, {}, tags),
              nullptr)
        << "a parameter without a name";
    EXPECT_EQ(api.Endpoints().size(), 1u);
}

}  // namespace
}  // namespace Nimbel
