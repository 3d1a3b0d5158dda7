#include "api/argument_binding.h"

#include <charconv>
#include <span>

#include "api/internal/content_type.h"
#include "api/url_decode.h"
#include "binding/core_value.h"
#include "codecs/json_reader.h"
#include "codecs/message_pack_reader.h"
#include "codecs/yaml_reader.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

// Indices at or beyond 2^31 are out of range; so are those a collection can
// never reach, which would otherwise make one request allocate gigabytes.
constexpr uint64_t kIndexLimit = std::min<uint64_t>(uint64_t{1} << 31, BindingProperty::kMaxCount);

enum class IndexReading : uint8_t { Read, BadFormat, OutOfRange };

[[nodiscard]] bool StartsWithDigit(std::string_view text) noexcept {
    return !text.empty() && text.front() >= '0' && text.front() <= '9';
}

[[nodiscard]] bool IsHexDigit(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Base detection as strtoul's base 0: "0x" and a hex digit read hexadecimal,
// another leading "0" octal, anything else decimal.
[[nodiscard]] IndexReading ReadIndex(std::string_view segment, size_t& index) noexcept {
    int base = 10;
    std::string_view digits = segment;
    if (segment.size() > 2 && segment[0] == '0' && (segment[1] == 'x' || segment[1] == 'X') &&
        IsHexDigit(segment[2])) {
        base = 16;
        digits.remove_prefix(2);
    } else if (segment.size() > 1 && segment[0] == '0') {
        base = 8;
    }
    uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error == std::errc::result_out_of_range) return IndexReading::OutOfRange;
    if (end != digits.data() + digits.size()) return IndexReading::BadFormat;
    if (value >= kIndexLimit) return IndexReading::OutOfRange;
    index = static_cast<size_t>(value);
    return IndexReading::Read;
}

[[nodiscard]] bool IsComposite(BindingTypeKind kind) noexcept {
    return kind == BindingTypeKind::Object || kind == BindingTypeKind::Vector ||
           kind == BindingTypeKind::Struct;
}

[[nodiscard]] bool LooksLikeMessagePack(std::string_view text) noexcept {
    if (text.empty()) return false;
    const auto first = static_cast<uint8_t>(text.front());
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

[[nodiscard]] bool LooksLikeJson(std::string_view text) noexcept {
    const std::string_view rest = internal::SkipLeadingBlanks(text);
    return !rest.empty() && (rest.front() == '{' || rest.front() == '[');
}

[[nodiscard]] bool LooksLikeYaml(std::string_view text) noexcept {
    return internal::SkipLeadingBlanks(text).starts_with("---");
}

[[nodiscard]] BindingStatus ReadMessagePack(std::string_view text, size_t& consumed) {
    return MessagePackToValue(reinterpret_cast<const uint8_t*>(text.data()), text.size(), consumed);
}

// The readers take the text where it lies, bounded by its length; callers
// refuse texts that hold a NUL first.
[[nodiscard]] BindingStatus ReadJson(std::string_view text) {
    return JsonToValue(text.data(), text.size());
}

[[nodiscard]] BindingStatus ReadYaml(std::string_view text) {
    return YamlToValue(text.data(), text.size());
}

[[nodiscard]] bool HoldsNul(std::string_view text) noexcept {
    return text.find('\0') != std::string_view::npos;
}

/// A body whose NULs all stand at its end, as a terminator does, cut at the
/// first of them; any other body unchanged.
[[nodiscard]] std::string_view WithoutTerminatingNuls(std::string_view text) noexcept {
    const size_t first = text.find('\0');
    if (first == std::string_view::npos) return text;
    const bool onlyNulsFollow = text.find_first_not_of('\0', first) == std::string_view::npos;
    return onlyNulsFollow ? text.substr(0, first) : text;
}

void FailNulInArgument(BindingStatus& result, const BindingArgumentDescription& argument) {
    result.SetError(FormatMessage("Argument '%1' holds a NUL character.", argument.name));
}

void FailNulInBody(BindingStatus& result, std::string_view body) {
    result.SetError(FormatMessage("The body holds a NUL character at offset %1.", body.find('\0')));
}

void LowerAscii(std::string& text) noexcept {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

void FailUnknownArgument(BindingStatus& result, std::string_view name,
                         const BindingFunctionDescription& function) {
    result.SetError(FormatMessage("Unknown argument '%1' for '%2'.", name, function.name));
}

void FailReader(BindingStatus& result, const char* format, const BindingStatus& reading,
                const BindingArgumentDescription& argument,
                const BindingFunctionDescription& function) {
    result.SetError(FormatMessage(format, argument.name, function.name, reading.ErrorMessage()));
}

// Assigns what a reader produced, or fails with its message in `format`.
void TakeReading(BindingStatus& result, BindingProperty& target, BindingStatus reading,
                 const char* format, const BindingArgumentDescription& argument,
                 const BindingFunctionDescription& function) {
    if (!reading.Ok()) {
        FailReader(result, format, reading, argument, function);
        return;
    }
    target = std::move(reading.Value());
}

void BindEmptyText(BindingStatus& result, BindingProperty& target,
                   const BindingArgumentDescription& argument) {
    switch (argument.type.kind) {
        case BindingTypeKind::Bool:
            target = true;
            return;
        case BindingTypeKind::Object:
        case BindingTypeKind::Struct:
            target.Clear();
            target.MakeStructure();
            return;
        case BindingTypeKind::Vector:
            target.Clear();
            target.MakeCollection();
            return;
        default:
            result.SetError(FormatMessage("Expected value for argument '%1'.", argument.name));
            return;
    }
}

// Walks `path` (segments after the argument's name) from the argument's value
// and decodes the text into the value it reaches.
void BindIntoPath(BindingStatus& result, BindingProperty& argumentValue, std::string_view path,
                  const BindingFunctionDescription& function,
                  const BindingArgumentDescription& argument, std::string_view text,
                  std::string_view contentType) {
    BindingProperty* current = &argumentValue;
    while (true) {
        const size_t dot = path.find('.');
        const std::string_view segment = path.substr(0, dot);
        if (StartsWithDigit(segment)) {
            size_t index = 0;
            const IndexReading reading = ReadIndex(segment, index);
            if (reading == IndexReading::BadFormat) {
                result.SetError(FormatMessage("Index %1 is in an incorrect format", segment));
                return;
            }
            if (reading == IndexReading::OutOfRange) {
                result.SetError(FormatMessage("Index %1 is out of range", segment));
                return;
            }
            current = &(*current)[index];
        } else {
            current = &(*current)[segment];
        }
        if (dot == std::string_view::npos) break;
        path.remove_prefix(dot + 1);
    }
    DecodeArgumentText(result, *current, function, argument, text, contentType, TextShape::Scalar);
}

[[nodiscard]] const BindingArgumentDescription* BodyArgument(const Endpoint& endpoint,
                                                             size_t& index) noexcept {
    const auto& arguments = endpoint.Function().arguments;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (endpoint.Location(i) == ArgLocation::Body) {
            index = i;
            return &arguments[i];
        }
    }
    return nullptr;
}

}  // namespace

ArgumentIndex IndexArguments(const BindingFunctionDescription& function) {
    ArgumentIndex index;
    for (size_t i = 0; i < function.arguments.size(); ++i) {
        index.emplace(function.arguments[i].name, i);
    }
    return index;
}

namespace {

/// The request's header pairs keyed by `keyOf(name)`; pairs without a name are
/// skipped, a null value reads as "", and a later pair replaces an earlier one
/// of the same key.
template <class KeyOf>
NamedTexts CollectHeaders(const CoreRequest& request, KeyOf keyOf) {
    NamedTexts headers;
    const CoreHeaderPair* pairs = request.headers;
    const KzoWord count = request.headerCount;
    for (KzoWord i = 0; pairs != nullptr && i < count; ++i) {
        const CoreHeaderPair pair = pairs[i];
        if (pair.name == nullptr) continue;
        headers.insert_or_assign(keyOf(pair.name), pair.value != nullptr ? pair.value : "");
    }
    return headers;
}

}  // namespace

NamedTexts HeaderMap(const CoreRequest& request) {
    return CollectHeaders(request, [](const char* name) { return std::string(name); });
}

NamedTexts HeaderMapByLowerCaseName(const CoreRequest& request) {
    return CollectHeaders(request, [](const char* name) {
        std::string lower(name);
        LowerAscii(lower);
        return lower;
    });
}

NamedTexts HeaderArguments(const BindingFunctionDescription& function, const Endpoint& endpoint,
                           const NamedTexts& lowerCaseHeaders) {
    NamedTexts found;
    for (size_t i = 0; i < function.arguments.size(); ++i) {
        const ArgLocation location = endpoint.Location(i);
        if (location != ArgLocation::Anywhere && location != ArgLocation::Header) continue;
        std::string lowered = function.arguments[i].name;
        LowerAscii(lowered);
        if (const auto header = lowerCaseHeaders.find(lowered); header != lowerCaseHeaders.end()) {
            found.insert_or_assign(function.arguments[i].name, header->second);
        }
    }
    return found;
}

NamedTexts QueryMap(std::string_view path) {
    NamedTexts query;
    const size_t mark = path.find('?');
    if (mark == std::string_view::npos) return query;
    std::string_view rest = path.substr(mark + 1);
    while (true) {
        const size_t amp = rest.find('&');
        const std::string_view part = rest.substr(0, amp);
        if (!part.empty()) {
            const size_t equals = part.find('=');
            const std::string_view name = part.substr(0, equals);
            const std::string_view value =
                equals == std::string_view::npos ? std::string_view{} : part.substr(equals + 1);
            query.insert_or_assign(UrlDecode(name), UrlDecode(value));
        }
        if (amp == std::string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
    return query;
}

void BindArguments(BindingStatus& result, std::vector<BindingProperty>& arguments,
                   const BindingFunctionDescription& function, const Endpoint& endpoint,
                   const NamedTexts& query, const NamedTexts& pathParameters,
                   const NamedTexts& headerArguments) {
    arguments.clear();
    arguments.resize(function.arguments.size());
    const ArgumentIndex index = IndexArguments(function);
    for (size_t i = 0; i < arguments.size(); ++i) {
        const BindingArgumentDescription& argument = function.arguments[i];
        if (argument.type.kind == BindingTypeKind::Bool && !argument.optional) arguments[i] = false;
    }
    const std::pair<const NamedTexts*, ArgLocation> sources[] = {
        {&headerArguments, ArgLocation::Header},
        {&pathParameters, ArgLocation::Path},
        {&query, ArgLocation::Query},
    };
    for (const auto& [texts, location] : sources) {
        for (const auto& [key, text] : *texts) {
            BindArgument(result, arguments, index, function, endpoint, key, text, {}, location);
            if (!result.Ok()) return;
        }
    }
}

void BindArgument(BindingStatus& result, std::vector<BindingProperty>& arguments,
                  const ArgumentIndex& index, const BindingFunctionDescription& function,
                  const Endpoint& endpoint, std::string_view key, std::string_view text,
                  std::string_view contentType, ArgLocation location) {
    const size_t dot = key.find('.');
    const std::string_view name = key.substr(0, dot);
    const auto found = index.find(name);
    if (found == index.end() || found->second >= arguments.size()) {
        FailUnknownArgument(result, name, function);
        return;
    }
    const size_t position = found->second;
    const ArgLocation allowed = endpoint.Location(position);
    if (allowed != ArgLocation::Anywhere && allowed != location) {
        result.SetError(FormatMessage(
            "Argument '%1' for '%2' was specified in an invalid location.", name, function.name));
        return;
    }
    const BindingArgumentDescription& argument = function.arguments[position];
    BindingProperty& target = arguments[position];
    if (dot != std::string_view::npos) {
        BindIntoPath(result, target, key.substr(dot + 1), function, argument, text, contentType);
    } else if (text.empty()) {
        BindEmptyText(result, target, argument);
    } else {
        DecodeArgumentText(
            result, target, function, argument, text, contentType,
            IsComposite(argument.type.kind) ? TextShape::Composite : TextShape::Scalar);
    }
}

void DecodeArgumentText(BindingStatus& result, BindingProperty& target,
                        const BindingFunctionDescription& function,
                        const BindingArgumentDescription& argument, std::string_view text,
                        std::string_view contentType, TextShape shape) {
    const bool sniff = shape == TextShape::Composite && contentType.empty();
    if (internal::ContentTypeStartsWith(contentType, "application/x-msgpack") ||
        (sniff && LooksLikeMessagePack(text))) {
        size_t consumed = 0;
        TakeReading(result, target, ReadMessagePack(text, consumed),
                    "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3",
                    argument, function);
    } else if (internal::ContentTypeStartsWith(contentType, "application/octet-stream")) {
        target = BindingBytes(text.begin(), text.end());
    } else if (HoldsNul(text)) {
        FailNulInArgument(result, argument);
    } else if (internal::ContentTypeStartsWith(contentType, "application/json") ||
               (sniff && LooksLikeJson(text))) {
        TakeReading(result, target, ReadJson(text),
                    "Couldn't deserialize JSON value for parameter '%1' of '%2': %3", argument,
                    function);
    } else if (internal::ContentTypeStartsWith(contentType, "text/x-yaml") ||
               (sniff && LooksLikeYaml(text))) {
        TakeReading(result, target, ReadYaml(text),
                    "Couldn't deserialize YAML value for parameter '%1' of '%2': %3", argument,
                    function);
    } else {
        target = text;
    }
}

void BindTypedArguments(BindingStatus& result, std::vector<BindingProperty>& arguments,
                        const BindingFunctionDescription& function, const CoreRequest& request,
                        size_t pathParameterCount) {
    const CoreArgumentEntry* entries = request.arguments;
    const KzoWord count = request.argumentCount;
    for (KzoWord i = 0; entries != nullptr && i < count; ++i) {
        const CoreArgumentEntry entry = entries[i];
        size_t position = 0;
        if (entry.name == nullptr) {
            position = i + pathParameterCount;
            if (position >= arguments.size()) {
                FailUnknownArgument(result, std::to_string(position), function);
                return;
            }
        } else {
            const auto& described = function.arguments;
            position = described.size();
            for (size_t a = 0; a < described.size(); ++a) {
                if (described[a].name == entry.name) {
                    position = a;
                    break;
                }
            }
            if (position >= arguments.size()) {
                FailUnknownArgument(result, entry.name, function);
                return;
            }
        }
        CoreResponse conversion{};
        if (!CoreValueToProperty(&conversion, arguments[position], entry.value,
                                 function.arguments[position].name)) {
            const char* message = conversion.errorText;
            result.SetError(message != nullptr ? message : "");
            CoreResultReleaseError(conversion);
            return;
        }
    }
}

void BindBody(BindingStatus& result, std::vector<BindingProperty>& arguments,
              const Endpoint& endpoint, const CoreRequest& request) {
    const uint8_t* body = request.body;
    if (body == nullptr) return;
    size_t position = 0;
    if (BodyArgument(endpoint, position) == nullptr || position >= arguments.size()) return;
    const std::string_view bytes(reinterpret_cast<const char*>(body), request.bodySize);
    const std::string_view contentType =
        request.contentType != nullptr ? std::string_view(request.contentType) : std::string_view{};
    BindingStatus reading;
    if (internal::ContentTypeStartsWith(contentType, "application/x-msgpack")) {
        size_t consumed = 0;
        reading = ReadMessagePack(bytes, consumed);
        if (reading.Ok() && consumed < bytes.size()) {
            result.SetError("Extra MessgePack data found in body");
            return;
        }
    } else if (const bool json =
                   internal::ContentTypeStartsWith(contentType, "application/json") ||
                   internal::ContentTypeStartsWith(contentType, "application/vnd.api+json");
               json || internal::ContentTypeStartsWith(contentType, "application/x-yaml")) {
        const std::string_view text = WithoutTerminatingNuls(bytes);
        if (HoldsNul(text)) {
            FailNulInBody(result, text);
            return;
        }
        reading = json ? ReadJson(text) : ReadYaml(text);
    } else {
        result.SetError("Unsupported body content type");
        return;
    }
    if (!reading.Ok()) {
        result.SetError(reading.ErrorMessage());
        return;
    }
    arguments[position] = std::move(reading.Value());
}

}  // namespace Nimbel
