// JsonValueWriter: one RapidJSON writer call per node, for both layouts.
#include "codecs/internal/json_value_writer.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "binding/base64.h"

namespace Nimbel::internal {
namespace {

[[nodiscard]] rapidjson::SizeType JsonLength(std::string_view text) noexcept {
    return static_cast<rapidjson::SizeType>(text.size());
}

// RapidJSON's escape table for UTF-8 output: 0 for a byte written as it is,
// else the character after the reverse solidus ('u' for \u00XX).
constexpr auto kEscapes = [] {
    std::array<char, 256> table{};
    for (size_t c = 0; c < 0x20; ++c) table[c] = 'u';
    table['\b'] = 'b';
    table['\t'] = 't';
    table['\n'] = 'n';
    table['\f'] = 'f';
    table['\r'] = 'r';
    table['"'] = '"';
    table['\\'] = '\\';
    return table;
}();
constexpr char kHexDigits[] = "0123456789ABCDEF";

constexpr uint64_t kEveryByte = 0x0101010101010101u;
constexpr uint64_t kHighBits = 0x8080808080808080u;

// Non-zero exactly when some byte of `word` is below `limit` (at most 0x80).
[[nodiscard]] constexpr uint64_t BytesBelow(uint64_t word, uint8_t limit) noexcept {
    return (word - kEveryByte * limit) & ~word & kHighBits;
}

// Non-zero exactly when some byte of `word` cannot be copied as it is: below
// 0x20, '"', '\\', or above 0x7F (the start or part of a sequence to check).
[[nodiscard]] constexpr uint64_t SpecialBytes(uint64_t word) noexcept {
    return BytesBelow(word, 0x20) | BytesBelow(word ^ (kEveryByte * '"'), 1) |
           BytesBelow(word ^ (kEveryByte * '\\'), 1) | (word & kHighBits);
}

[[nodiscard]] bool IsSpecial(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || kEscapes[byte] != 0;
}

// The first byte of [next, end) that is not copied as it is, or end.
[[nodiscard]] const char* NextSpecial(const char* next, const char* end) noexcept {
    while (end - next >= static_cast<std::ptrdiff_t>(sizeof(uint64_t))) {
        uint64_t word = 0;
        std::memcpy(&word, next, sizeof word);
        if (SpecialBytes(word) != 0) break;
        next += sizeof word;
    }
    while (next != end && !IsSpecial(*next)) ++next;
    return next;
}

void PutEscape(JsonTextBuffer& buffer, unsigned char c) noexcept {
    const char escape = kEscapes[c];
    buffer.PutUnchecked('\\');
    buffer.PutUnchecked(escape);
    if (escape == 'u') {
        buffer.PutUnchecked('0');
        buffer.PutUnchecked('0');
        buffer.PutUnchecked(kHexDigits[c >> 4]);
        buffer.PutUnchecked(kHexDigits[c & 0xF]);
    }
}

// Writes the quoted, escaped text; false, with some of it written, at the
// first ill-formed UTF-8 sequence.
[[nodiscard]] bool PutQuotedWellFormed(JsonTextBuffer& buffer, std::string_view text) {
    // Six bytes at most per byte (\u00XX), and the two quotation marks.
    buffer.Reserve(2 + text.size() * 6);
    buffer.PutUnchecked('"');
    const char* run = text.data();
    const char* next = run;
    const char* const end = run + text.size();
    while (true) {
        next = NextSpecial(next, end);
        if (next == end) break;
        const auto byte = static_cast<unsigned char>(*next);
        if (byte >= 0x80) {
            const size_t length =
                Utf8SequenceLength(std::string_view(next, static_cast<size_t>(end - next)));
            if (length == 0) return false;
            next += length;  // stays in the run
            continue;
        }
        buffer.PutRunUnchecked(run, static_cast<size_t>(next - run));
        PutEscape(buffer, byte);
        run = ++next;
    }
    buffer.PutRunUnchecked(run, static_cast<size_t>(end - run));
    buffer.PutUnchecked('"');
    return true;
}

}  // namespace

void WriteEscapedString(JsonTextBuffer& buffer, std::string_view text) {
    const size_t start = buffer.Size();
    if (PutQuotedWellFormed(buffer, text)) return;
    buffer.Truncate(start);
    const bool repaired = PutQuotedWellFormed(buffer, ReplaceInvalidUtf8(text));
    static_cast<void>(repaired);  // a repaired text is well-formed
}

template <class Writer>
void JsonValueWriter<Writer>::Write(const BindingProperty& value) {
    switch (value.Kind()) {
        case BindingPropertyKind::Empty:
            Empty();
            return;
        case BindingPropertyKind::Bool:
            Bool(value.GetBool());
            return;
        case BindingPropertyKind::Signed:
            Signed(value.GetSigned());
            return;
        case BindingPropertyKind::Unsigned:
            Unsigned(value.GetUnsigned());
            return;
        case BindingPropertyKind::Float:
            Float(value.GetDouble());
            return;
        case BindingPropertyKind::String:
            String(value.GetString());
            return;
        case BindingPropertyKind::Blob:
            Blob(value.GetBytes());
            return;
        case BindingPropertyKind::Enum:
            Enum(value.GetEnum());
            return;
        case BindingPropertyKind::Collection: {
            const std::span<const BindingProperty> elements = value.Elements();
            BeginCollection(elements.size());
            for (size_t i = 0; i < elements.size(); ++i) {
                BeginElement(i);
                Write(elements[i]);
                EndElement(i);
            }
            EndCollection();
            return;
        }
        case BindingPropertyKind::Structure: {
            const auto members = value.Members();
            BeginStructure(members.size());
            for (const BindingMember& member : members) {
                MemberName(member.Name());
                Write(member.Value());
                EndMember();
            }
            EndStructure();
            return;
        }
    }
}

template <class Writer>
bool JsonValueWriter<Writer>::Empty() {
    return writer_.Null();
}

template <class Writer>
bool JsonValueWriter<Writer>::Bool(bool value) {
    return writer_.Bool(value);
}

template <class Writer>
bool JsonValueWriter<Writer>::Signed(int64_t value) {
    return writer_.Int64(value);
}

template <class Writer>
bool JsonValueWriter<Writer>::Unsigned(uint64_t value) {
    return writer_.Uint64(value);
}

template <class Writer>
bool JsonValueWriter<Writer>::Float(double value) {
    return WriteDoubleOrNull(writer_, value);
}

template <class Writer>
bool JsonValueWriter<Writer>::String(std::string_view text) {
    return WriteUtf8String(writer_, text);
}

template <class Writer>
bool JsonValueWriter<Writer>::Blob(std::span<const uint8_t> bytes) {
    const std::string text = EncodeBase64(bytes);
    return writer_.String(text.data(), JsonLength(text));
}

template <class Writer>
bool JsonValueWriter<Writer>::Enum(const BindingEnum& pair) {
    if (typeContext_ != nullptr) {
        const std::optional<std::string_view> name =
            typeContext_->EnumeratorName(*pair.type, pair.value);
        if (name) return WriteUtf8String(writer_, *name);
    }
    return writer_.Int64(pair.value);
}

template <class Writer>
bool JsonValueWriter<Writer>::BeginCollection(size_t) {
    return writer_.StartArray();
}

template <class Writer>
bool JsonValueWriter<Writer>::BeginElement(size_t) {
    return true;
}

template <class Writer>
bool JsonValueWriter<Writer>::EndElement(size_t) {
    return true;
}

template <class Writer>
bool JsonValueWriter<Writer>::EndCollection() {
    return writer_.EndArray();
}

template <class Writer>
bool JsonValueWriter<Writer>::BeginStructure(size_t) {
    return writer_.StartObject();
}

template <class Writer>
bool JsonValueWriter<Writer>::MemberName(std::string_view name) {
    return WriteUtf8String(writer_, name, true);
}

template <class Writer>
bool JsonValueWriter<Writer>::EndMember() {
    return true;
}

template <class Writer>
bool JsonValueWriter<Writer>::EndStructure() {
    return writer_.EndObject();
}

template class JsonValueWriter<CompactJsonWriter>;
template class JsonValueWriter<IndentedJsonWriter>;

}  // namespace Nimbel::internal
