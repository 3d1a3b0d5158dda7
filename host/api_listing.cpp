#include "host/api_listing.h"

#include <cstdio>

#include "binding/binding_type_kind.h"

namespace KzoHost {
namespace {

[[nodiscard]] std::string TextOf(const char* text) {
    return text != nullptr ? text : "";
}

[[nodiscard]] std::vector<std::string> TagsOf(const char* const* tags, KzoWord count) {
    std::vector<std::string> texts;
    for (KzoWord i = 0; tags != nullptr && i < count; ++i) texts.push_back(TextOf(tags[i]));
    return texts;
}

[[nodiscard]] std::string KindText(KzoWord kind) {
    return std::string(Nimbel::BindingTypeKindText(static_cast<Nimbel::BindingTypeKind>(kind)));
}

// "uint64", "SomeRecord", "vector<SomeRecord>", "map<string>".
[[nodiscard]] std::string TypeTextOf(KzoWord kind, KzoWord elementKind, const char* typeName) {
    const std::string name = TextOf(typeName);
    const auto typeKind = static_cast<Nimbel::BindingTypeKind>(kind);
    if (typeKind == Nimbel::BindingTypeKind::Vector || typeKind == Nimbel::BindingTypeKind::Map) {
        return KindText(kind) + "<" + (name.empty() ? KindText(elementKind) : name) + ">";
    }
    return name.empty() ? KindText(kind) : name;
}

template <class Record>
[[nodiscard]] const Record* NextOf(const Record& record) noexcept {
    return record.next;
}
// Endpoint records chain through the first word of their function record.
[[nodiscard]] const EndpointRecord* NextOf(const EndpointRecord& record) noexcept {
    return reinterpret_cast<const EndpointRecord*>(record.function.next);
}

// Calls `read` with a copy of each record of a chain of at most `count`.
template <class Record, class Read>
void WalkChain(const Record* first, KzoWord count, Read read) {
    const Record* at = first;
    for (KzoWord i = 0; at != nullptr && i < count; ++i) {
        const Record record = *at;
        read(record);
        at = NextOf(record);
    }
}

[[nodiscard]] ListedEndpoint EndpointOf(const EndpointRecord& record) {
    const FunctionRecord function = record.function;
    ListedEndpoint endpoint;
    endpoint.functionName = TextOf(function.name);
    endpoint.method = record.method;
    endpoint.methodName = TextOf(record.methodName);
    endpoint.pathTemplate = TextOf(record.pathTemplate);
    endpoint.resultType =
        TypeTextOf(function.resultKind, function.resultElementKind, function.resultTypeName);
    endpoint.tags = TagsOf(function.tags, function.tagCount);
    endpoint.onRequest = record.onRequest;
    endpoint.context = reinterpret_cast<void*>(function.reserved1);
    const ArgumentLocationEntry* locations = record.argumentLocations;
    size_t index = 0;
    WalkChain(function.arguments, function.argumentCount, [&](const ArgumentRecord& argument) {
        const ArgumentLocationEntry location =
            locations != nullptr ? locations[index] : ArgumentLocationEntry{0, 0};
        endpoint.arguments.push_back(
            ListedArgument{TextOf(argument.name), location.location,
                           TypeTextOf(argument.kind, argument.elementKind, argument.typeName)});
        ++index;
    });
    return endpoint;
}

[[nodiscard]] ListedType TypeOf(const TypeRecord& record) {
    ListedType type;
    type.name = TextOf(record.name);
    type.description = TextOf(record.description);
    type.size = record.size;
    type.tags = TagsOf(record.tags, record.tagCount);
    WalkChain(record.fields, record.memberCount, [&](const FieldRecord& field) {
        type.fields.push_back(
            ListedMember{TextOf(field.name), TextOf(field.description),
                         TypeTextOf(field.kind, field.elementKind, field.typeName),
                         static_cast<int64_t>(field.offset)});
    });
    WalkChain(record.enumerators, record.memberCount, [&](const EnumeratorRecord& enumerator) {
        type.enumerators.push_back(
            ListedMember{TextOf(enumerator.name),
                         TextOf(enumerator.description),
                         {},
                         static_cast<int32_t>(static_cast<uint32_t>(enumerator.value))});
    });
    return type;
}

[[nodiscard]] std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : ", ") + text;
    return joined;
}

}  // namespace

const char* MethodText(KzoWord method) noexcept {
    static constexpr const char* kTexts[] = {"any",   "DELETE", "GET", "HEAD", "OPTIONS",
                                             "PATCH", "POST",   "PUT", "other"};
    return method < 9 ? kTexts[method] : "?";
}

const char* LocationText(KzoWord location) noexcept {
    switch (location) {
        case 0:
            return "anywhere";
        case 1:
            return "query";
        case 2:
            return "path";
        case 4:
            return "header";
        case 5:
            return "body";
        default:
            return "?";
    }
}

ApiListing ReadApiDescription(const ApiDescriptionRoot* rootPointer) {
    ApiListing listing;
    if (rootPointer == nullptr) return listing;
    const ApiDescriptionRoot root = *rootPointer;
    WalkChain(root.endpoints, root.endpointCount, [&](const EndpointRecord& record) {
        listing.endpoints.push_back(EndpointOf(record));
    });
    WalkChain(root.types, root.typeCount,
              [&](const TypeRecord& record) { listing.types.push_back(TypeOf(record)); });
    WalkChain(root.events, root.eventCount, [&](const EventRecord& record) {
        listing.events.push_back(ListedEvent{TextOf(record.name), TextOf(record.typeName),
                                             TextOf(record.description),
                                             TagsOf(record.tags, record.tagCount)});
    });
    return listing;
}

std::string FormatApiListing(const ApiListing& listing) {
    std::string text = "Endpoints: " + std::to_string(listing.endpoints.size()) + "\n";
    for (const ListedEndpoint& endpoint : listing.endpoints) {
        const std::string method =
            endpoint.method == 8 ? endpoint.methodName : MethodText(endpoint.method);
        text += "  " + method + " " + endpoint.pathTemplate + " -> " + endpoint.resultType + " (" +
                endpoint.functionName + ")\n";
        for (const ListedArgument& argument : endpoint.arguments) {
            text += "    " + argument.name + ": " + argument.type + " from " +
                    LocationText(argument.location) + "\n";
        }
    }
    text += "Types: " + std::to_string(listing.types.size()) + "\n";
    for (const ListedType& type : listing.types) {
        text += "  " + type.name + " [" + Joined(type.tags) + "]\n";
        for (const ListedMember& field : type.fields) {
            text += "    " + field.name + ": " + field.type + "\n";
        }
        for (const ListedMember& enumerator : type.enumerators) {
            text += "    " + enumerator.name + " = " + std::to_string(enumerator.value) + "\n";
        }
    }
    text += "Events: " + std::to_string(listing.events.size()) + "\n";
    for (const ListedEvent& event : listing.events) {
        text += "  " + event.name + ": " + event.typeName + " [" + Joined(event.tags) + "]\n";
    }
    return text;
}

}  // namespace KzoHost
