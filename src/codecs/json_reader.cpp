// JsonToValue: RapidJSON's reader driving the value builder, with numbers
// handed over as text so that the builder reads them correctly rounded.
#include "codecs/json_reader.h"

#include <rapidjson/reader.h>

#include <cstring>
#include <memory>
#include <string_view>

#include "codecs/internal/counted_json_allocator.h"
#include "codecs/internal/json_parse_error_text.h"
#include "codecs/internal/json_value_builder.h"
#include "diagnostics/allocator.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

using internal::JsonValueBuilder;
using JsonReader =
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, internal::CountedJsonAllocator>;

[[nodiscard]] bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

[[nodiscard]] bool IsBlankOnly(std::string_view text) noexcept {
    for (const char c : text) {
        if (!IsBlank(c)) return false;
    }
    return true;
}

[[nodiscard]] bool IsBlankOnly(const char* text) noexcept {
    while (IsBlank(*text)) ++text;
    return *text == '\0';
}

// The builder reports an overflowed number by stopping the reader, which
// RapidJSON then calls a handler error at the number's start; the document is
// reported as RapidJSON reports the numbers it rejects itself.
[[nodiscard]] unsigned ReportedCode(rapidjson::ParseErrorCode code,
                                    JsonValueBuilder::Refusal refusal) noexcept {
    if (code == rapidjson::kParseErrorTermination &&
        refusal == JsonValueBuilder::Refusal::NumberNotFinite) {
        return rapidjson::kParseErrorNumberTooBig;
    }
    return code;
}

// Frees the reader's copy of a text; the copy is written whole, never
// value-initialised first.
struct TextCopyDeleter {
    void operator()(char* copy) const noexcept { Free(copy); }
};

// Reads `text` (`length` bytes, no NUL among them) from a copy that the
// reader decodes in place, sparing it a copy of every string and number.
[[nodiscard]] BindingStatus ReadDocument(const char* text, size_t length) {
    BindingStatus status;
    const std::unique_ptr<char, TextCopyDeleter> copy(static_cast<char*>(Allocate(length + 1)));
    if (copy == nullptr) ThrowBadAlloc();
    std::memcpy(copy.get(), text, length);
    copy.get()[length] = '\0';
    rapidjson::InsituStringStream stream(copy.get());
    JsonValueBuilder builder(status.Value());
    internal::CountedJsonAllocator allocator;
    JsonReader reader(&allocator);
    // RapidJSON's own conversion, even at full precision, misrounds some
    // numbers of many digits; as text they still pass its grammar and limits.
    const rapidjson::ParseResult result =
        reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag>(stream,
                                                                                          builder);
    if (result.IsError()) {
        const unsigned code = ReportedCode(result.Code(), builder.Refused());
        status.SetError(FormatMessage("Error: %s at offset %u.", internal::JsonParseErrorText(code),
                                      result.Offset()));
    }
    return status;
}

}  // namespace

BindingStatus JsonToValue(const char* text) {
    if (text == nullptr || IsBlankOnly(text)) return BindingStatus();
    return ReadDocument(text, std::strlen(text));
}

BindingStatus JsonToValue(const char* text, size_t length) {
    if (text == nullptr) return BindingStatus();
    const void* nul = std::memchr(text, '\0', length);
    if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    if (IsBlankOnly(std::string_view(text, length))) return BindingStatus();
    return ReadDocument(text, length);
}

}  // namespace Nimbel
