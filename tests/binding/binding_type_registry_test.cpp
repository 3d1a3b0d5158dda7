// The type registry: first registration wins, lookups by name and identity,
// enumerator names in name order, type texts, functions and events, the API
// description storage, converter ownership and concurrent registration.
#include "binding/binding_type_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "binding/binding_type_builder.h"
#include "binding/enum_name_lookup.h"
#include "conversion_test_support.h"

namespace Nimbel {
namespace {

using namespace conversion_test;

struct Alpha {
    int32_t a = 0;
};
struct Beta {
    int32_t b = 0;
    int32_t c = 0;
};
enum class Letters : int32_t { A = 1, B = 1, Z = 1, Two = 2 };
struct Unregistered {
    int32_t value = 0;
};
enum class UnregisteredLane : int32_t { One = 1 };

TEST(BindingTypeRegistryTest, KindTextsCoverTheTableAndNothingElse) {
    struct Case {
        uint32_t kind;
        const char* text;
    };
    const Case cases[] = {
        {0, ""},        {1, "bool"},      {2, "int8"},    {3, "uint8"},     {4, "int16"},
        {5, "uint16"},  {6, "int32"},     {7, "uint32"},  {8, "int64"},     {9, "uint64"},
        {10, "float"},  {11, "double"},   {12, "string"}, {13, "object"},   {14, "blob"},
        {15, "vector"}, {16, "enum"},     {17, "struct"}, {18, "callback"}, {19, "map"},
        {20, ""},       {0xFFFFFFFF, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BindingTypeKindText(static_cast<BindingTypeKind>(c.kind)), c.text)
            << "kind " << c.kind;
    }
}

TEST(BindingTypeRegistryTest, FirstRegistrationOfANameWins) {
    BindingTypeRegistry registry;
    BindingTypeBuilder<Alpha>(registry, "Shared").Field("a", &Alpha::a).Tag("first").Finish();

    BindingTypeBuilder<Beta> second(registry, "Shared");
    second.Field("b", &Beta::b).Field("c", &Beta::c).Tag("second").Describe("text");
    second.Finish(std::vector<std::string>{"module"});

    EXPECT_TRUE(second.AlreadyRegistered());
    const BindingTypeDescription* shared = registry.FindType("Shared");
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(&second.Description(), shared);
    ASSERT_EQ(shared->fields.size(), 1u);
    EXPECT_EQ(shared->fields[0].name, "a");
    EXPECT_EQ(shared->nativeSize, sizeof(Alpha));
    EXPECT_EQ(shared->tags.Texts(), std::vector<std::string>{"first"});
    EXPECT_EQ(shared->description, "");
    // The losing native type was never entered by identity.
    EXPECT_EQ(registry.FindType(StaticType::Name<Alpha>()), shared);
    EXPECT_EQ(registry.FindType(StaticType::Name<Beta>()), nullptr);
}

TEST(BindingTypeRegistryTest, AnExistingEnumeratorNameTakesTheNewValueAndText) {
    BindingTypeRegistry registry;
    BindingTypeBuilder<Letters>(registry, "Letters")
        .Enumerator("A", Letters::A, "one")
        .Enumerator("A", Letters::Two, "two")
        .Finish();
    const BindingTypeDescription& letters = *registry.FindType("Letters");
    ASSERT_EQ(letters.enumerators.size(), 1u);
    const BindingEnumValue& a = letters.enumerators.at("A");
    EXPECT_EQ(a.value, 2);
    EXPECT_EQ(a.description, "two");
    EXPECT_EQ(a.owner, &letters);
}

TEST(BindingTypeRegistryTest, EnumeratorNameIsTheFirstInNameOrder) {
    BindingTypeRegistry registry;
    BindingTypeBuilder<Letters>(registry, "Letters")
        .Enumerator("Z", Letters::Z)
        .Enumerator("B", Letters::B)
        .Enumerator("Two", Letters::Two)
        .Finish();
    // Writers of values ask through the lookup interface.
    const EnumNameLookup& lookup = registry;
    struct Case {
        const char* description;
        const StaticTypeId* type;
        int32_t value;
        std::optional<std::string_view> expected;
    };
    const Case cases[] = {
        {"shared value reports the smaller name", &StaticType::Name<Letters>(), 1, "B"},
        {"unique value", &StaticType::Name<Letters>(), 2, "Two"},
        {"value no enumerator has", &StaticType::Name<Letters>(), 3, std::nullopt},
        {"unregistered enumeration", &StaticType::Name<UnregisteredLane>(), 1, std::nullopt},
        {"the no-type identity", &StaticTypeId::None(), 1, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lookup.EnumeratorName(*c.type, c.value), c.expected) << c.description;
    }
    const BindingTypeDescription& letters = *registry.FindType("Letters");
    EXPECT_TRUE(letters.HasEnumeratorValue(2));
    EXPECT_FALSE(letters.HasEnumeratorValue(0));
}

TEST(BindingTypeRegistryTest, NoTypeIdentityIsFoundByNameOnly) {
    BindingTypeRegistry registry;
    BindingTypeBuilderBase builder(registry, "Anonymous", 4, StaticTypeId::None(),
                                   BindingTypeKind::Struct);
    builder.Finish();
    EXPECT_FALSE(builder.AlreadyRegistered());
    EXPECT_NE(registry.FindType("Anonymous"), nullptr);
    EXPECT_EQ(registry.FindType(StaticTypeId::None()), nullptr);
    EXPECT_EQ(registry.TypeRefOf(StaticTypeId::None()).kind, BindingTypeKind::None);
}

// Identity hashes are 32 bits wide: two native types may share one. The second
// is refused rather than handed the first one's layout.
TEST(BindingTypeRegistryTest, AnotherNativeTypeOfARegisteredIdentityHashIsRefused) {
    static constexpr StaticTypeId kFirst{0x1234, "Name() [with T = First]"};
    static constexpr StaticTypeId kSecond{0x1234, "Name() [with T = Second]"};
    static constexpr StaticTypeId kFirstElsewhere{0x1234, "Name() [with T = First]"};
    static constexpr StaticTypeId kOther{0x5678, "Name() [with T = Other]"};
    struct Case {
        const char* description;
        const StaticTypeId& identity;
        const char* name;
        const char* refusal;          // empty: registered
        const char* foundByIdentity;  // the name FindType(identity) gives, or null
    };
    const Case cases[] = {
        {"another type of the same hash", kSecond, "KzoSecond",
         "The type KzoSecond was not registered: its native type Second has the identity hash "
         "0x00001234 of the native type First, registered as KzoFirst; give one of them a fixed "
         "hash of its own",
         nullptr},
        {"the same type named by a copy of its identity, under a second name", kFirstElsewhere,
         "KzoFirstAgain", "", "KzoFirst"},
        {"another hash", kOther, "KzoOther", "", "KzoOther"},
        {"the no-type identity", StaticTypeId::None(), "KzoAnonymous", "", nullptr},
        {"a registered name, whatever its identity", kSecond, "KzoFirst", "", nullptr},
    };
    for (const Case& c : cases) {
        BindingTypeRegistry registry;
        BindingTypeBuilderBase(registry, "KzoFirst", 4, kFirst, BindingTypeKind::Struct).Finish();
        BindingTypeBuilderBase builder(registry, c.name, 8, c.identity, BindingTypeKind::Struct);
        builder.AddTag("tag");
        builder.Finish();

        EXPECT_EQ(builder.RefusalMessage(), c.refusal) << c.description;
        EXPECT_EQ(builder.Refused(), *c.refusal != '\0') << c.description;
        EXPECT_EQ(builder.Description().name, c.name) << c.description;
        EXPECT_EQ(registry.FindType(c.name) != nullptr, !builder.Refused()) << c.description;
        const BindingTypeDescription* byIdentity = registry.FindType(c.identity);
        EXPECT_EQ(byIdentity != nullptr ? byIdentity->name : "(none)",
                  c.foundByIdentity != nullptr ? c.foundByIdentity : "(none)")
            << c.description;
        // The first type keeps its identity, its fields and its tags.
        const BindingTypeDescription* first = registry.FindType(kFirst);
        ASSERT_NE(first, nullptr) << c.description;
        EXPECT_EQ(first->name, "KzoFirst") << c.description;
        EXPECT_TRUE(first->tags.Texts().empty()) << c.description;
    }
}

TEST(BindingTypeRegistryTest, TypeRefOfANativeTypeTellsRecordsFromEnumerations) {
    BindingTypeRegistry registry;
    RegisterTestTypes(registry);
    struct Case {
        const char* description;
        BindingTypeRef ref;
        BindingTypeKind kind;
        const char* name;  // null: no description
    };
    const Case cases[] = {
        {"record", registry.TypeRefOf<Position>(), BindingTypeKind::Struct, kPositionName},
        {"enumeration", registry.TypeRefOf<Lane>(), BindingTypeKind::Enum, kLaneName},
        {"unregistered", registry.TypeRefOf<Unregistered>(), BindingTypeKind::None, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.ref.kind, c.kind) << c.description;
        EXPECT_EQ(c.ref.elementKind, BindingTypeKind::None) << c.description;
        if (c.name == nullptr) {
            EXPECT_EQ(c.ref.description, nullptr) << c.description;
        } else {
            ASSERT_NE(c.ref.description, nullptr) << c.description;
            EXPECT_EQ(c.ref.description->name, c.name) << c.description;
        }
    }
}

TEST(BindingTypeRegistryTest, TypeTextPairs) {
    BindingTypeRegistry registry;
    RegisterTestTypes(registry);
    const BindingTypeDescription* position = registry.FindType(kPositionName);
    using K = BindingTypeKind;
    struct Case {
        const char* description;
        BindingTypeRef ref;
        const char* type;
        const char* element;
    };
    const Case cases[] = {
        {"vector of int32", {K::Vector, K::Int32, nullptr}, "vector", "int32"},
        {"map of a registered record", {K::Map, K::Struct, position}, "map", kPositionName},
        {"unregistered enum", {K::Enum, K::None, nullptr}, "enum", ""},
        {"unregistered struct", {K::Struct, K::None, nullptr}, "struct", ""},
        {"registered struct", {K::Struct, K::None, position}, kPositionName, ""},
        {"vector of unregistered records", {K::Vector, K::Struct, nullptr}, "vector", "struct"},
        {"vector of vectors", {K::Vector, K::Vector, position}, "vector", "vector"},
        {"plain kind", {K::Int64, K::None, nullptr}, "int64", ""},
        {"object", {K::Object, K::None, nullptr}, "object", ""},
        {"no type", {}, "", ""},
    };
    for (const Case& c : cases) {
        const BindingTypeText text = c.ref.Text();
        EXPECT_EQ(text.type, c.type) << c.description;
        EXPECT_EQ(text.element, c.element) << c.description;
    }
}

TEST(BindingTypeRegistryTest, TagsSkipEmptyTextsAndFinishAppendsTheModuleTags) {
    BindingTypeRegistry registry;
    const std::vector<std::string> moduleTags = {"api", "v1"};
    BindingTypeBuilder<Alpha>(registry, "Tagged").Tag("own").Tag("").Finish(moduleTags);
    EXPECT_EQ(registry.FindType("Tagged")->tags.Texts(),
              (std::vector<std::string>{"own", "api", "v1"}));
}

TEST(BindingTypeRegistryTest, FunctionsAndEventsKeepTheFirstOfAName) {
    BindingTypeRegistry registry;
    RegisterTestTypes(registry);

    BindingFunctionDescription* help = registry.CreateFunction("Help", 2);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->arguments.size(), 2u);
    help->tags.Add("$builtin");
    help->tags.Add("");
    EXPECT_EQ(registry.CreateFunction("Help", 0), nullptr);
    const auto detached = BindingTypeRegistry::CreateDetachedFunction("Detached", 1);
    EXPECT_EQ(detached->name, "Detached");
    EXPECT_EQ(registry.FindFunction("Detached"), nullptr);
    EXPECT_EQ(registry.FindFunction("Help"), help);
    EXPECT_EQ(registry.FunctionCount(), 1u);
    EXPECT_EQ(registry.FunctionSnapshot(), std::vector<const BindingFunctionDescription*>{help});
    EXPECT_EQ(help->tags.Texts(), std::vector<std::string>{"$builtin"});

    const BindingTypeDescription* payload = registry.FindType(kPositionName);
    BindingEventDescription* moved = registry.CreateEvent("OnMoved", payload);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->payload, payload);
    EXPECT_EQ(registry.CreateEvent("OnMoved", nullptr), nullptr);
    EXPECT_EQ(registry.FindEvent("OnMoved"), moved);
    EXPECT_EQ(registry.EventSnapshot(), std::vector<const BindingEventDescription*>{moved});

    EXPECT_EQ(registry.TypeSnapshot().size(), 8u);
}

TEST(BindingTypeRegistryTest, ApiDescriptionStorageIsReplacedAndTypeChecked) {
    struct Storage {
        std::vector<int> words;
    };
    BindingTypeRegistry registry;
    EXPECT_EQ(registry.ApiDescription<Storage>(), nullptr);
    registry.ReplaceApiDescription<Storage>().words = {1, 2};
    ASSERT_NE(registry.ApiDescription<Storage>(), nullptr);
    EXPECT_EQ(registry.ApiDescription<Storage>()->words.size(), 2u);
    EXPECT_TRUE(registry.ReplaceApiDescription<Storage>().words.empty());
    EXPECT_EQ(registry.ApiDescription<int>(), nullptr);
    EXPECT_FALSE(registry.Initialised());
    registry.MarkInitialised();
    EXPECT_TRUE(registry.Initialised());
}

// Counts its destruction instead of freeing anything.
class CountingConverter final : public BindingFieldConverter {
public:
    explicit CountingConverter(int& destroyed) : destroyed_(destroyed) {}
    void FromValue(BindingStatus&, void*, const BindingProperty&, std::string_view,
                   const BindingTypeDescription*, const BindingTypeRegistry&) const override {}
    void ToValue(BindingStatus&, BindingProperty&, const void*, const BindingTypeDescription*,
                 const BindingTypeRegistry&) const override {}
    void Destroy() noexcept override { ++destroyed_; }

private:
    int& destroyed_;
};

TEST(BindingTypeRegistryTest, FieldConvertersAreDestroyedOnceWithTheRegistry) {
    int destroyed = 0;
    CountingConverter first(destroyed);
    CountingConverter second(destroyed);
    {
        BindingTypeRegistry registry;
        BindingTypeBuilderBase builder(registry, "Callbacks", 16, StaticTypeId::None(),
                                       BindingTypeKind::Struct);
        for (CountingConverter* converter : {&first, &second}) {
            BindingFieldDescription field;
            field.name = "callback";
            field.type.kind = BindingTypeKind::Callback;
            field.converter = BindingFieldConverterPtr(converter);
            builder.AddField(std::move(field));
        }
        builder.Finish();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(BindingTypeRegistryTest, ConcurrentBuildersOfOneNameCreateOneDescription) {
    BindingTypeRegistry registry;
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                BindingTypeBuilder<Alpha> builder(registry, "Type" + std::to_string(i));
                if (!builder.AlreadyRegistered()) ++created;
                builder.Field("a", &Alpha::a).Finish();
                EXPECT_NE(registry.FindType(StaticType::Name<Alpha>()), nullptr);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(created.load(), 200);
    for (const BindingTypeDescription* type : registry.TypeSnapshot()) {
        EXPECT_EQ(type->fields.size(), 1u) << type->name;
    }
}

}  // namespace
}  // namespace Nimbel
