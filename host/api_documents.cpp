#include "host/api_documents.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace KzoHost {
namespace {

using Nimbel::BindingProperty;

[[nodiscard]] BindingProperty TextList(const std::vector<std::string>& texts) {
    BindingProperty list;
    list.MakeCollection();
    for (const std::string& text : texts) list.Append() = text;
    return list;
}

[[nodiscard]] std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// ---- The host's own description ----

[[nodiscard]] BindingProperty DescribedEndpoint(const ListedEndpoint& endpoint) {
    BindingProperty described;
    described["method"] = endpoint.method == 8 ? endpoint.methodName : MethodText(endpoint.method);
    described["path"] = endpoint.pathTemplate;
    described["function"] = endpoint.functionName;
    described["result"] = endpoint.resultType;
    BindingProperty& arguments = described["arguments"];
    arguments.MakeCollection();
    for (const ListedArgument& argument : endpoint.arguments) {
        BindingProperty& entry = arguments.Append();
        entry["name"] = argument.name;
        entry["location"] = LocationText(argument.location);
        entry["type"] = argument.type;
    }
    return described;
}

[[nodiscard]] BindingProperty DescribedMembers(const ListedType& type) {
    BindingProperty members;
    members.MakeCollection();
    for (const ListedMember& field : type.fields) {
        BindingProperty& entry = members.Append();
        entry["name"] = field.name;
        entry["type"] = field.type;
        entry["description"] = field.description;
    }
    for (const ListedMember& enumerator : type.enumerators) {
        BindingProperty& entry = members.Append();
        entry["name"] = enumerator.name;
        entry["value"] = enumerator.value;
    }
    return members;
}

[[nodiscard]] BindingProperty DescribedType(const ListedType& type) {
    BindingProperty described;
    described["name"] = type.name;
    described["description"] = type.description;
    described["tags"] = TextList(type.tags);
    described[type.enumerators.empty() ? "fields" : "enumerators"] = DescribedMembers(type);
    return described;
}

[[nodiscard]] BindingProperty DescribedEvent(const ListedEvent& event) {
    BindingProperty described;
    described["name"] = event.name;
    described["type"] = event.typeName;
    described["description"] = event.description;
    described["tags"] = TextList(event.tags);
    return described;
}

// ---- Component schema names ----

// OpenAPI allows only these characters in a component name.
[[nodiscard]] bool IsComponentNameCharacter(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

[[nodiscard]] std::string ComponentNameOf(std::string_view typeName) {
    std::string name(typeName);
    for (char& c : name) {
        if (!IsComponentNameCharacter(c)) c = '_';
    }
    return name;
}

// Hands out names that were not handed out before: `base`, else `base_2`,
// `base_3` ...; serves component names and operation IDs alike.
class UniqueNames {
public:
    [[nodiscard]] std::string Claim(const std::string& base) {
        std::string name = base;
        for (int suffix = 2; !used_.insert(name).second; ++suffix) {
            name = base + "_" + std::to_string(suffix);
        }
        return name;
    }

private:
    std::set<std::string> used_;
};

// The component schema of each listed type, by type name, and the name of
// the error answer's schema. Of a type name listed twice, the first type;
// types without a name are left out, as no type text can refer to them.
class SchemaNames {
public:
    struct Entry {
        std::string component;
        const ListedType* type;
    };

    explicit SchemaNames(const ApiListing& listing) {
        for (const ListedType& type : listing.types) {
            if (type.name.empty() || byType_.contains(type.name)) continue;
            byType_.emplace(type.name, Entry{names_.Claim(ComponentNameOf(type.name)), &type});
        }
        error_ = names_.Claim("Error");
    }

    [[nodiscard]] const std::map<std::string, Entry, std::less<>>& Entries() const noexcept {
        return byType_;
    }
    [[nodiscard]] const Entry* Find(std::string_view typeName) const {
        const auto found = byType_.find(typeName);
        return found != byType_.end() ? &found->second : nullptr;
    }
    [[nodiscard]] const std::string& ErrorName() const noexcept { return error_; }

private:
    UniqueNames names_;
    std::map<std::string, Entry, std::less<>> byType_;
    std::string error_;
};

// ---- Schemas of type texts ----

[[nodiscard]] BindingProperty AnyValueSchema() {
    BindingProperty schema;
    schema.MakeStructure();
    return schema;
}

[[nodiscard]] BindingProperty ReferenceTo(const std::string& component) {
    BindingProperty schema;
    schema["$ref"] = "#/components/schemas/" + component;
    return schema;
}

struct KindSchema {
    std::string_view kind;
    const char* type;
    const char* format;
    std::optional<int64_t> minimum;
    std::optional<uint64_t> maximum;
};

// JSON Schema integers have no width: the narrow kinds carry their range, and
// uint64 none of the formats, since int64 would wrongly refuse values from 2^63.
constexpr std::array<KindSchema, 13> kKindSchemas = {{
    {"bool", "boolean", nullptr, {}, {}},
    {"int8", "integer", "int32", -128, 127},
    {"uint8", "integer", "int32", 0, 255},
    {"int16", "integer", "int32", -32768, 32767},
    {"uint16", "integer", "int32", 0, 65535},
    {"int32", "integer", "int32", {}, {}},
    {"uint32", "integer", "int64", 0, 4294967295u},
    {"int64", "integer", "int64", {}, {}},
    {"uint64", "integer", nullptr, 0, {}},
    {"float", "number", "float", {}, {}},
    {"double", "number", "double", {}, {}},
    {"string", "string", nullptr, {}, {}},
    {"blob", "string", "byte", {}, {}},
}};

[[nodiscard]] std::optional<BindingProperty> KindSchemaOf(std::string_view typeText) {
    for (const KindSchema& known : kKindSchemas) {
        if (known.kind != typeText) continue;
        BindingProperty schema;
        schema["type"] = known.type;
        if (known.format != nullptr) schema["format"] = known.format;
        if (known.minimum) schema["minimum"] = *known.minimum;
        if (known.maximum) schema["maximum"] = *known.maximum;
        return schema;
    }
    return std::nullopt;
}

// "X" of "<container><X>", or nothing when the text is not that container.
[[nodiscard]] std::optional<std::string_view> ElementTextOf(std::string_view typeText,
                                                            std::string_view container) {
    if (typeText.size() < container.size() + 2 || !typeText.starts_with(container) ||
        typeText[container.size()] != '<' || !typeText.ends_with('>')) {
        return std::nullopt;
    }
    return typeText.substr(container.size() + 1, typeText.size() - container.size() - 2);
}

// Deeper texts than any listing writes become schemas for any value, so that a
// made-up text cannot exhaust the stack.
constexpr int kMaxContainerNesting = 32;

[[nodiscard]] BindingProperty SchemaOf(std::string_view typeText, const SchemaNames& names,
                                       int nesting = 0) {
    if (std::optional<BindingProperty> schema = KindSchemaOf(typeText)) return std::move(*schema);
    if (const SchemaNames::Entry* entry = names.Find(typeText)) {
        return ReferenceTo(entry->component);
    }
    if (nesting >= kMaxContainerNesting) return AnyValueSchema();
    if (const auto element = ElementTextOf(typeText, "vector")) {
        BindingProperty schema;
        schema["type"] = "array";
        schema["items"] = SchemaOf(*element, names, nesting + 1);
        return schema;
    }
    if (const auto element = ElementTextOf(typeText, "map")) {
        BindingProperty schema;
        schema["type"] = "object";
        schema["additionalProperties"] = SchemaOf(*element, names, nesting + 1);
        return schema;
    }
    return AnyValueSchema();  // "object", unlisted names and texts of no known shape
}

// A description beside a "$ref" would be ignored by OpenAPI 3.0 readers.
void Describe(BindingProperty& schema, const std::string& description) {
    if (!description.empty() && schema.FindMember("$ref") == nullptr) {
        schema["description"] = description;
    }
}

[[nodiscard]] BindingProperty RecordSchema(const ListedType& type, const SchemaNames& names) {
    BindingProperty schema;
    schema["type"] = "object";
    BindingProperty& properties = schema["properties"];
    properties.MakeStructure();
    for (const ListedMember& field : type.fields) {
        if (properties.FindMember(field.name) != nullptr) continue;
        BindingProperty& property = properties[field.name];
        property = SchemaOf(field.type, names);
        Describe(property, field.description);
    }
    Describe(schema, type.description);
    return schema;
}

[[nodiscard]] BindingProperty EnumerationSchema(const ListedType& type) {
    BindingProperty schema;
    schema["type"] = "string";
    std::set<std::string> seen;
    BindingProperty& names = schema["enum"];
    for (const ListedMember& enumerator : type.enumerators) {
        if (seen.insert(enumerator.name).second) names.Append() = enumerator.name;
    }
    Describe(schema, type.description);
    return schema;
}

// The body of every error answer of the host's HTTP server.
[[nodiscard]] BindingProperty ErrorSchema() {
    BindingProperty schema;
    schema["type"] = "object";
    schema["properties"]["status"]["type"] = "integer";
    schema["properties"]["message"]["type"] = "string";
    return schema;
}

[[nodiscard]] BindingProperty ComponentSchemas(const SchemaNames& names) {
    BindingProperty schemas;
    schemas.MakeStructure();
    for (const auto& [typeName, entry] : names.Entries()) {
        const ListedType& type = *entry.type;
        schemas[entry.component] =
            type.enumerators.empty() ? RecordSchema(type, names) : EnumerationSchema(type);
    }
    schemas[names.ErrorName()] = ErrorSchema();
    return schemas;
}

// ---- Paths and operations ----

[[nodiscard]] bool Contains(const std::vector<std::string>& texts, std::string_view text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

struct OpenApiPath {
    std::string path;
    std::vector<std::string> parameters;  ///< in template order, each name once
};

// The template with every expression written "{name}", as OpenAPI has only
// simple parameters; a fragment keeps its "#". Read by the same rules as the
// route matcher: "{" restarts an expression keeping the name read so far, a
// "}" outside one is dropped, an unclosed one is dropped too. A missing
// leading "/" is added, as every OpenAPI path has one.
[[nodiscard]] OpenApiPath OpenApiPathOf(std::string_view pathTemplate) {
    enum class Reading { Literal, Simple, Reserved, Fragment };
    OpenApiPath result;
    Reading reading = Reading::Literal;
    std::string name;
    for (const char c : pathTemplate) {
        if (c == '{') {
            reading = Reading::Simple;
        } else if (c == '}' && reading != Reading::Literal) {
            result.path += (reading == Reading::Fragment ? "#{" : "{") + name + "}";
            if (!Contains(result.parameters, name)) result.parameters.push_back(name);
            name.clear();
            reading = Reading::Literal;
        } else if (reading == Reading::Simple && name.empty() && (c == '+' || c == '#')) {
            reading = c == '+' ? Reading::Reserved : Reading::Fragment;
        } else if (reading != Reading::Literal) {
            name += c;
        } else if (c != '}') {
            result.path += c;
        }
    }
    if (!result.path.starts_with('/')) result.path = '/' + result.path;
    return result;
}

// The boundary's locations: 1 query, 2 path, 4 header, 5 body; every other
// number means anywhere, as the framework reads it.
[[nodiscard]] KzoWord EffectiveLocation(KzoWord location) noexcept {
    return location == 1 || location == 2 || location == 4 || location == 5 ? location : 0;
}

[[nodiscard]] const ListedArgument* PathArgumentNamed(const ListedEndpoint& endpoint,
                                                      std::string_view name) {
    for (const ListedArgument& argument : endpoint.arguments) {
        const KzoWord location = EffectiveLocation(argument.location);
        if (argument.name == name && (location == 2 || location == 0)) return &argument;
    }
    return nullptr;
}

class ParameterList {
public:
    explicit ParameterList(const SchemaNames& names) : names_(names) { list_.MakeCollection(); }

    void Add(const std::string& name, const char* in, bool required, std::string_view typeText) {
        if (!added_.emplace(name, in).second) return;
        BindingProperty& parameter = list_.Append();
        parameter["name"] = name;
        parameter["in"] = in;
        if (required) parameter["required"] = true;
        parameter["schema"] = SchemaOf(typeText, names_);
    }
    [[nodiscard]] BindingProperty Take() { return std::move(list_); }

private:
    const SchemaNames& names_;
    BindingProperty list_;
    std::set<std::pair<std::string, std::string>> added_;
};

[[nodiscard]] BindingProperty ParametersOf(const ListedEndpoint& endpoint, const OpenApiPath& path,
                                           const SchemaNames& names) {
    ParameterList parameters(names);
    for (const std::string& name : path.parameters) {
        const ListedArgument* argument = PathArgumentNamed(endpoint, name);
        parameters.Add(name, "path", true, argument != nullptr ? argument->type : "string");
    }
    for (const ListedArgument& argument : endpoint.arguments) {
        const KzoWord location = EffectiveLocation(argument.location);
        if (location == 1 || (location == 0 && !Contains(path.parameters, argument.name))) {
            parameters.Add(argument.name, "query", false, argument.type);
        } else if (location == 4) {
            parameters.Add(argument.name, "header", false, argument.type);
        }
    }
    return parameters.Take();
}

[[nodiscard]] BindingProperty JsonContent(BindingProperty schema) {
    BindingProperty content;
    content["application/json"]["schema"] = std::move(schema);
    return content;
}

[[nodiscard]] const ListedArgument* BodyArgumentOf(const ListedEndpoint& endpoint) {
    for (const ListedArgument& argument : endpoint.arguments) {
        if (EffectiveLocation(argument.location) == 5) return &argument;
    }
    return nullptr;
}

// A result without a type (an empty text) answers without content.
[[nodiscard]] BindingProperty ResponsesOf(const ListedEndpoint& endpoint,
                                          const SchemaNames& names) {
    BindingProperty responses;
    BindingProperty& success = responses["200"];
    success["description"] = "Success";
    if (!endpoint.resultType.empty()) {
        success["content"] = JsonContent(SchemaOf(endpoint.resultType, names));
    }
    BindingProperty& failure = responses["default"];
    failure["description"] = "Error";
    failure["content"] = JsonContent(ReferenceTo(names.ErrorName()));
    return responses;
}

[[nodiscard]] BindingProperty OperationOf(const ListedEndpoint& endpoint, const OpenApiPath& path,
                                          std::string operationId, const SchemaNames& names) {
    BindingProperty operation;
    operation["operationId"] = std::move(operationId);
    operation["tags"] = TextList(endpoint.tags);
    operation["parameters"] = ParametersOf(endpoint, path, names);
    if (const ListedArgument* body = BodyArgumentOf(endpoint)) {
        operation["requestBody"]["content"] = JsonContent(SchemaOf(body->type, names));
    }
    operation["responses"] = ResponsesOf(endpoint, names);
    return operation;
}

[[nodiscard]] bool IsOpenApiOperation(std::string_view method) {
    static constexpr std::array<std::string_view, 8> kOperations = {
        "get", "put", "post", "delete", "options", "head", "patch", "trace"};
    return std::find(kOperations.begin(), kOperations.end(), method) != kOperations.end();
}

// The path item member of an endpoint: "get" ... "put" for methods 1 to 7 and
// for method 8 naming one of them (or "trace"); otherwise an extension.
[[nodiscard]] std::string OperationKeyOf(const ListedEndpoint& endpoint) {
    if (endpoint.method >= 1 && endpoint.method <= 7) {
        return AsciiLower(MethodText(endpoint.method));
    }
    if (endpoint.method != 8) return "x-any-method";
    const std::string method = AsciiLower(endpoint.methodName);
    return IsOpenApiOperation(method) ? method : "x-method-" + method;
}

[[nodiscard]] BindingProperty PathsOf(const ApiListing& listing, const SchemaNames& names) {
    BindingProperty paths;
    paths.MakeStructure();
    UniqueNames operationIds;
    for (const ListedEndpoint& endpoint : listing.endpoints) {
        const OpenApiPath path = OpenApiPathOf(endpoint.pathTemplate);
        BindingProperty& item = paths[path.path];
        const std::string key = OperationKeyOf(endpoint);
        if (item.FindMember(key) != nullptr) continue;
        const std::string& function = endpoint.functionName;
        item[key] = OperationOf(endpoint, path, operationIds.Claim(function), names);
    }
    return paths;
}

}  // namespace

Nimbel::BindingProperty DescribeApi(const ApiListing& listing) {
    BindingProperty document;
    BindingProperty& endpoints = document["endpoints"];
    endpoints.MakeCollection();
    for (const ListedEndpoint& endpoint : listing.endpoints) {
        endpoints.Append() = DescribedEndpoint(endpoint);
    }
    BindingProperty& types = document["types"];
    types.MakeCollection();
    for (const ListedType& type : listing.types) types.Append() = DescribedType(type);
    BindingProperty& events = document["events"];
    events.MakeCollection();
    for (const ListedEvent& event : listing.events) events.Append() = DescribedEvent(event);
    return document;
}

Nimbel::BindingProperty OpenApiDocument(const ApiListing& listing, std::string_view title,
                                        std::string_view version) {
    const SchemaNames names(listing);
    BindingProperty document;
    document["openapi"] = "3.0.3";
    document["info"]["title"] = title;
    document["info"]["version"] = version;
    document["paths"] = PathsOf(listing, names);
    document["components"]["schemas"] = ComponentSchemas(names);
    return document;
}

}  // namespace KzoHost
