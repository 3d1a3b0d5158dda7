// The typed builder: what it derives for each C++ member type (kind, element
// kind, nested description, position, converter), registration order of
// nested types, field options, and enumerations of every width.
#include "binding/binding_type_builder.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "binding/native_to_value.h"
#include "conversion_test_support.h"

namespace Nimbel {
namespace {

using namespace conversion_test;
using K = BindingTypeKind;

TEST(BindingTypeBuilderTest, FieldsTakeKindElementDescriptionAndPositionFromTheMember) {
    BindingTypeRegistry registry;
    RegisterTestTypes(registry);
    const BindingTypeDescription& everything = *registry.FindType(kEverythingName);
    struct Case {
        const char* field;
        BindingTypeKind kind;
        BindingTypeKind element;
        const char* described;  // registered name of the description; null: none
        size_t position;
    };
    const Case cases[] = {
        {"flag", K::Bool, K::None, nullptr, offsetof(Everything, flag)},
        {"i8", K::Int8, K::None, nullptr, offsetof(Everything, i8)},
        {"u8", K::UInt8, K::None, nullptr, offsetof(Everything, u8)},
        {"i16", K::Int16, K::None, nullptr, offsetof(Everything, i16)},
        {"u16", K::UInt16, K::None, nullptr, offsetof(Everything, u16)},
        {"i32", K::Int32, K::None, nullptr, offsetof(Everything, i32)},
        {"u32", K::UInt32, K::None, nullptr, offsetof(Everything, u32)},
        {"i64", K::Int64, K::None, nullptr, offsetof(Everything, i64)},
        {"u64", K::UInt64, K::None, nullptr, offsetof(Everything, u64)},
        {"f32", K::Float, K::None, nullptr, offsetof(Everything, f32)},
        {"f64", K::Double, K::None, nullptr, offsetof(Everything, f64)},
        {"text", K::String, K::None, nullptr, offsetof(Everything, text)},
        {"any", K::Object, K::None, nullptr, offsetof(Everything, any)},
        {"bytes", K::Blob, K::None, nullptr, offsetof(Everything, bytes)},
        {"lane", K::Enum, K::None, kLaneName, offsetof(Everything, lane)},
        {"position", K::Struct, K::None, kPositionName, offsetof(Everything, position)},
        {"numbers", K::Vector, K::Int32, nullptr, offsetof(Everything, numbers)},
        {"flags", K::Vector, K::Bool, nullptr, offsetof(Everything, flags)},
        {"texts", K::Vector, K::String, nullptr, offsetof(Everything, texts)},
        {"positions", K::Vector, K::Struct, kPositionName, offsetof(Everything, positions)},
        {"lanes", K::Vector, K::Enum, kLaneName, offsetof(Everything, lanes)},
        {"grid", K::Vector, K::Vector, nullptr, offsetof(Everything, grid)},
        {"deltas", K::Map, K::Double, nullptr, offsetof(Everything, deltas)},
        {"frames", K::Map, K::Struct, kPositionName, offsetof(Everything, frames)},
    };
    ASSERT_EQ(everything.fields.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const BindingFieldDescription& field = everything.fields[i];
        EXPECT_EQ(field.name, c.field) << "fields keep registration order";
        EXPECT_EQ(field.type.kind, c.kind) << c.field;
        EXPECT_EQ(field.type.elementKind, c.element) << c.field;
        EXPECT_EQ(field.position, c.position) << c.field;
        EXPECT_NE(field.converter, nullptr) << c.field;
        EXPECT_EQ(field.nameHash, Fnv1a(std::string_view(c.field))) << c.field;
        EXPECT_EQ(field.flags, 0u) << c.field;
        EXPECT_FALSE(field.optional) << c.field;
        EXPECT_EQ(field.secondType.kind, K::None) << c.field;
        if (c.described == nullptr) {
            EXPECT_EQ(field.type.description, nullptr) << c.field;
        } else {
            ASSERT_NE(field.type.description, nullptr) << c.field;
            EXPECT_EQ(field.type.description->name, c.described) << c.field;
        }
    }
    EXPECT_EQ(everything.nativeSize, sizeof(Everything));
    EXPECT_FALSE(everything.isEnum);
    EXPECT_EQ(everything.identity, &StaticType::Name<Everything>());
    EXPECT_EQ(everything.registry, &registry);
}

struct Inner {
    int32_t value = 0;
};
struct Outer {
    Inner inner;
    std::vector<Inner> inners;
};

TEST(BindingTypeBuilderTest, NestedTypesRegisteredLaterStayUnknownToTheField) {
    BindingTypeRegistry registry;
    BindingTypeBuilder<Outer>(registry, "Outer")
        .Field("inner", &Outer::inner)
        .Field("inners", &Outer::inners)
        .Finish();
    BindingTypeBuilder<Inner>(registry, "Inner").Field("value", &Inner::value).Finish();

    const BindingTypeDescription& outer = *registry.FindType("Outer");
    EXPECT_EQ(outer.fields[0].type.kind, K::Struct);
    EXPECT_EQ(outer.fields[0].type.description, nullptr);
    EXPECT_EQ(outer.fields[1].type.elementKind, K::Struct);
    EXPECT_EQ(outer.fields[1].type.description, nullptr);
}

TEST(BindingTypeBuilderTest, FieldsAreAlsoIndexedInNameOrder) {
    struct Four {
        int32_t b = 0;
        int32_t a = 0;
        int32_t c = 0;
        int32_t second = 0;
    };
    BindingTypeRegistry registry;
    BindingTypeBuilder<Four>(registry, "Four")
        .Field("b", &Four::b)
        .Field("a", &Four::a)
        .Field("c", &Four::c)
        .Field("a", &Four::second)
        .Finish();
    EXPECT_EQ(registry.FindType("Four")->fieldsByName, (std::vector<uint32_t>{1, 3, 0, 2}));
    // Written out, the later of two fields of one name gives the member.
    Four four{1, 2, 3, 4};
    BindingStatus status;
    NativeToValue(status, four, registry);
    EXPECT_EQ(Describe(status.Value()), "{a:4,b:1,c:3}");
}

TEST(BindingTypeBuilderTest, OptionsReachTheField) {
    BindingTypeRegistry registry;
    RegisterTestTypes(registry);
    const BindingTypeDescription* position = registry.FindType(kPositionName);
    BindingTypeBuilder<Session>(registry, "Options")
        .Field("summonerId", &Session::summonerId,
               {.description = "who",
                .flags = FieldSkipEmpty | FieldRequired,
                .optional = true,
                .secondType = {K::Struct, K::None, position}})
        .Field("accountId", &Session::accountId, {.secondType = {K::None, K::Int32, position}})
        .Finish();
    const BindingTypeDescription& options = *registry.FindType("Options");
    const BindingFieldDescription& summoner = options.fields[0];
    EXPECT_EQ(summoner.description, "who");
    EXPECT_TRUE(summoner.Has(FieldSkipEmpty));
    EXPECT_TRUE(summoner.Has(FieldRequired));
    EXPECT_TRUE(summoner.optional);
    EXPECT_EQ(summoner.secondType.description, position);
    // A second type without a kind is not kept.
    EXPECT_EQ(options.fields[1].secondType.elementKind, K::None);
    EXPECT_EQ(options.fields[1].secondType.description, nullptr);
}

TEST(BindingTypeBuilderTest, EnumerationsOfEveryWidthKeepTheirValues) {
    BindingTypeRegistry registry;
    RegisterTestTypes(registry);
    struct Case {
        const char* name;
        size_t width;
    };
    const Case cases[] = {
        {"KzoTestWidth1", 1}, {"KzoTestWidth2", 2}, {"KzoTestWidth4", 4}, {"KzoTestWidth8", 8}};
    for (const Case& c : cases) {
        const BindingTypeDescription& type = *registry.FindType(c.name);
        EXPECT_TRUE(type.isEnum) << c.name;
        EXPECT_EQ(type.nativeSize, c.width) << c.name;
        EXPECT_EQ(type.enumerators.at("MINUS").value, -1) << c.name;
        EXPECT_EQ(type.enumerators.at("ONE").value, 1) << c.name;
        EXPECT_TRUE(type.fields.empty()) << c.name;
    }
}

// Registered out of numeric order, as the login session states are.
enum class SessionStates : int32_t { IN_PROGRESS = 0, SUCCEEDED = 1, LOGGING_OUT = 2, ERROR = 3 };

TEST(BindingTypeBuilderTest, EnumeratorsRegisteredOutOfOrderAreKeptByNameWithTheirValues) {
    BindingTypeRegistry registry;
    BindingTypeBuilder<SessionStates>(registry, "KzoMatchHistoryLoginSessionStates")
        .Enumerator("IN_PROGRESS", SessionStates::IN_PROGRESS)
        .Enumerator("ERROR", SessionStates::ERROR)
        .Enumerator("SUCCEEDED", SessionStates::SUCCEEDED)
        .Enumerator("LOGGING_OUT", SessionStates::LOGGING_OUT)
        .Finish();
    std::string walk;
    for (const auto& [name, enumerator] :
         registry.FindType(StaticType::Name<SessionStates>())->enumerators) {
        walk += name + "=" + std::to_string(enumerator.value) + " ";
    }
    EXPECT_EQ(walk, "ERROR=3 IN_PROGRESS=0 LOGGING_OUT=2 SUCCEEDED=1 ");
}

}  // namespace
}  // namespace Nimbel
