#include "api/binding_help.h"

#include <algorithm>

#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"
#include "binding/native_to_value.h"

namespace Nimbel {
namespace {

constexpr const char* kBuiltinTag = "$builtin";
constexpr const char* kHelpTag = "help";

template <class T>
[[nodiscard]] BindingTypeBuilder<T> HelpRecord(BindingTypeRegistry& registry, const char* name,
                                               const char* description) {
    BindingTypeBuilder<T> builder(registry, name);
    builder.Describe(description).Tag(kBuiltinTag).Tag(kHelpTag);
    return builder;
}

[[nodiscard]] BindingFullTypeIdentifier IdentifierOf(const BindingTypeRef& type) {
    const BindingTypeText text = type.Text();
    return BindingFullTypeIdentifier{std::string(text.type), std::string(text.element)};
}

// A second type, when one was registered, is what the API reports.
[[nodiscard]] const BindingTypeRef& Reported(const BindingTypeRef& first,
                                             const BindingTypeRef& second) noexcept {
    return second.kind != BindingTypeKind::None ? second : first;
}

[[nodiscard]] BindingFullFunctionHelp FunctionHelp(const BindingFunctionDescription& function) {
    BindingFullFunctionHelp help;
    help.name = function.name;
    help.nameSpace = function.namespaceText;
    for (const BindingArgumentDescription& argument : function.arguments) {
        help.arguments.push_back(BindingFullArgumentHelp{
            argument.name, argument.description,
            IdentifierOf(Reported(argument.type, argument.secondType)), argument.optional});
    }
    help.returns = IdentifierOf(Reported(function.result, function.secondResult));
    help.description = function.description;
    help.help = function.help;
    help.threadSafe = function.threadSafe;
    if (function.async && function.asyncType != nullptr) help.async = function.asyncType->name;
    help.tags = function.tags.Texts();
    return help;
}

[[nodiscard]] BindingFullTypeHelp TypeHelp(const BindingTypeDescription& type) {
    BindingFullTypeHelp help;
    help.name = type.name;
    help.size = static_cast<uint32_t>(type.nativeSize);
    help.description = type.description;
    help.tags = type.tags.Texts();
    for (const BindingFieldDescription& field : type.fields) {
        help.fields.push_back(BindingFullFieldHelp{
            field.name, field.description, static_cast<uint32_t>(field.position),
            IdentifierOf(Reported(field.type, field.secondType)), field.optional});
    }
    for (const auto& [name, enumerator] : type.enumerators) {
        help.values.push_back(
            BindingFullEnumValueHelp{enumerator.name, enumerator.description, enumerator.value});
    }
    return help;
}

[[nodiscard]] BindingFullEventHelp EventHelp(const BindingEventDescription& event) {
    BindingTypeRef payload;
    if (event.payload != nullptr) {
        payload.kind = event.payload->isEnum ? BindingTypeKind::Enum : BindingTypeKind::Struct;
        payload.description = event.payload;
    }
    return BindingFullEventHelp{event.name, event.namespaceText, IdentifierOf(payload),
                                event.description, event.tags.Texts()};
}

template <class Help>
void SortByName(std::vector<Help>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const Help& left, const Help& right) { return left.name < right.name; });
}

}  // namespace

void RegisterHelpTypes(BindingTypeRegistry& registry) {
    BindingTypeBuilder<BindingHelpFormat>(registry, "BindingHelpFormat")
        .Describe("Help format for binding functions and types.")
        .Tag(kBuiltinTag)
        .Tag(kHelpTag)
        .Enumerator("Full", BindingHelpFormat::Full, "Native help format")
        .Enumerator("Epytext", BindingHelpFormat::Epytext, "Python epytext format")
        .Finish();
    using Identifier = BindingFullTypeIdentifier;
    HelpRecord<Identifier>(registry, "BindingFullTypeIdentifier", "Describes the type of a value.")
        .Field("type", &Identifier::type)
        .Field("elementType", &Identifier::elementType)
        .Finish();
    using Argument = BindingFullArgumentHelp;
    HelpRecord<Argument>(registry, "BindingFullArgumentHelp", "Describes a function parameter.")
        .Field("name", &Argument::name)
        .Field("description", &Argument::description)
        .Field("type", &Argument::type)
        .Field("optional", &Argument::optional)
        .Finish();
    using Function = BindingFullFunctionHelp;
    HelpRecord<Function>(registry, "BindingFullFunctionHelp", "Describes a function.")
        .Field("name", &Function::name)
        .Field("nameSpace", &Function::nameSpace)
        .Field("arguments", &Function::arguments)
        .Field("returns", &Function::returns)
        .Field("description", &Function::description)
        .Field("help", &Function::help)
        .Field("threadSafe", &Function::threadSafe)
        .Field("async", &Function::async)
        .Field("tags", &Function::tags)
        .Finish();
    using EnumValue = BindingFullEnumValueHelp;
    HelpRecord<EnumValue>(registry, "BindingFullEnumValueHelp", "Describes an enumerator.")
        .Field("name", &EnumValue::name)
        .Field("description", &EnumValue::description)
        .Field("value", &EnumValue::value)
        .Finish();
    using Field = BindingFullFieldHelp;
    HelpRecord<Field>(registry, "BindingFullFieldHelp", "Describes a member of a struct.")
        .Field("name", &Field::name)
        .Field("description", &Field::description)
        .Field("offset", &Field::offset)
        .Field("type", &Field::type)
        .Field("optional", &Field::optional)
        .Finish();
    using Type = BindingFullTypeHelp;
    HelpRecord<Type>(registry, "BindingFullTypeHelp", "Describes a struct or enum type.")
        .Field("name", &Type::name)
        .Field("nameSpace", &Type::nameSpace)
        .Field("size", &Type::size)
        .Field("description", &Type::description)
        .Field("tags", &Type::tags)
        .Field("fields", &Type::fields)
        .Field("values", &Type::values)
        .Finish();
    using Event = BindingFullEventHelp;
    HelpRecord<Event>(registry, "BindingFullEventHelp", "Describes an event.")
        .Field("name", &Event::name)
        .Field("nameSpace", &Event::nameSpace)
        .Field("type", &Event::type)
        .Field("description", &Event::description)
        .Field("tags", &Event::tags)
        .Finish();
    using Api = BindingFullApiHelp;
    HelpRecord<Api>(registry, "BindingFullApiHelp", "Describes the exposed native API.")
        .Field("functions", &Api::functions)
        .Field("types", &Api::types)
        .Field("events", &Api::events)
        .Finish();
}

BindingFullApiHelp DescribeApi(const BindingTypeRegistry& registry) {
    BindingFullApiHelp help;
    for (const BindingFunctionDescription* function : registry.FunctionSnapshot()) {
        help.functions.push_back(FunctionHelp(*function));
    }
    for (const BindingTypeDescription* type : registry.TypeSnapshot()) {
        help.types.push_back(TypeHelp(*type));
    }
    for (const BindingEventDescription* event : registry.EventSnapshot()) {
        help.events.push_back(EventHelp(*event));
    }
    SortByName(help.functions);
    SortByName(help.types);
    SortByName(help.events);
    return help;
}

BindingStatus ApiHelpValue(const BindingTypeRegistry& registry) {
    BindingStatus status;
    NativeToValue(status, DescribeApi(registry), registry);
    return status;
}

}  // namespace Nimbel
