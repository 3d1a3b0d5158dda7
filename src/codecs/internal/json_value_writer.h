// The visitor that writes a BindingProperty walk as JSON through a RapidJSON
// writer, and the writer types the codecs write JSON with.
#pragma once

#include <rapidjson/encodings.h>
#include <rapidjson/internal/dtoa.h>
#include <rapidjson/internal/itoa.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/binding_visitor.h"
#include "binding/enum_name_lookup.h"
#include "codecs/internal/counted_json_allocator.h"
#include "codecs/internal/json_text_buffer.h"
#include "codecs/internal/utf8_text.h"

namespace Nimbel::internal {

/// Writes `text` between quotation marks with RapidJSON's escaping for UTF-8
/// output: '"' and '\\' behind a reverse solidus, control characters as
/// \b \t \n \f \r or \u00XX (upper-case hex digits), every other byte as it
/// is, except that each ill-formed UTF-8 sequence becomes U+FFFD (see
/// ReplaceInvalidUtf8): RapidJSON's writers copy any byte, while JSON text
/// must be UTF-8. Runs that need no change are copied whole, eight bytes
/// checked at a time; a well-formed text is written with no copy of it.
void WriteEscapedString(JsonTextBuffer& buffer, std::string_view text);

/// A RapidJSON writer (Base, which is PrettyWriter when kIndented) whose
/// strings and keys go through WriteEscapedString: for well-formed UTF-8 the
/// same bytes as Base's own, which puts and escape-checks one byte at a time.
/// Separators, numbers and nesting stay Base's.
template <class Base, bool kIndented>
class RunCopyingJsonWriter final : public Base {
public:
    using Base::Base;

    bool String(const char* text, rapidjson::SizeType length, bool = false) {
        StartValue(rapidjson::kStringType);
        WriteEscapedString(*this->os_, std::string_view(text, length));
        return this->EndValue(true);
    }
    // Numbers are formatted by RapidJSON straight into the buffer's room,
    // where Base formats them on the stack and puts them a byte at a time.
    bool Int64(int64_t value) {
        StartValue(rapidjson::kNumberType);
        return this->EndValue(PutFormatted(kMaxInt64Text, [value](char* room) {
            return rapidjson::internal::i64toa(value, room);
        }));
    }
    bool Uint64(uint64_t value) {
        StartValue(rapidjson::kNumberType);
        return this->EndValue(PutFormatted(kMaxInt64Text, [value](char* room) {
            return rapidjson::internal::u64toa(value, room);
        }));
    }
    /// A finite double in RapidJSON's shortest form; Base's own rules for others.
    bool Double(double value) {
        if (!std::isfinite(value)) return Base::Double(value);
        StartValue(rapidjson::kNumberType);
        const int places = this->maxDecimalPlaces_;
        return this->EndValue(PutFormatted(kMaxDoubleText, [value, places](char* room) {
            return rapidjson::internal::dtoa(value, room, places);
        }));
    }
    bool Key(const char* text, rapidjson::SizeType length, bool copy = false) {
        return String(text, length, copy);
    }
    bool String(const char* text) { return String(text, Length(text)); }
    bool Key(const char* text) { return String(text, Length(text)); }

private:
    // Room for the longest texts RapidJSON's formatting writes, as its own
    // buffers give: 21 for a 64-bit integer ("-9223372036854775808" and a
    // spare), 25 for a double.
    static constexpr size_t kMaxInt64Text = 21;
    static constexpr size_t kMaxDoubleText = 25;

    void StartValue(rapidjson::Type type) {
        if constexpr (kIndented) {
            this->PrettyPrefix(type);
        } else {
            this->Prefix(type);
        }
    }

    template <class Format>
    bool PutFormatted(size_t longest, const Format& format) {
        JsonTextBuffer& buffer = *this->os_;
        buffer.Reserve(longest);
        char* room = buffer.Next();
        buffer.Advance(static_cast<size_t>(format(room) - room));
        return true;
    }

    static rapidjson::SizeType Length(const char* text) noexcept {
        return static_cast<rapidjson::SizeType>(std::char_traits<char>::length(text));
    }
};

/// No whitespace at all.
using CompactJsonWriter = RunCopyingJsonWriter<
    rapidjson::Writer<JsonTextBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, CountedJsonAllocator>,
    false>;
/// Four spaces per level, a line feed after each opening bracket and between
/// elements, ": " after each key.
using IndentedJsonWriter =
    RunCopyingJsonWriter<rapidjson::PrettyWriter<JsonTextBuffer, rapidjson::UTF8<>,
                                                 rapidjson::UTF8<>, CountedJsonAllocator>,
                         true>;

/// Writes `value`, or null when it is NaN or infinite. RapidJSON's writers
/// refuse such a double only after writing the separator before it, which
/// would leave broken JSON behind; null keeps the output valid, as
/// JavaScript's JSON.stringify does.
template <class Writer>
bool WriteDoubleOrNull(Writer& writer, double value) {
    return std::isfinite(value) ? writer.Double(value) : writer.Null();
}

/// Writes `text` as a JSON string (as an object's key when `asKey`), each
/// ill-formed UTF-8 sequence as U+FFFD (the writers' strings do this, see
/// WriteEscapedString).
template <class Writer>
bool WriteUtf8String(Writer& writer, std::string_view text, bool asKey = false) {
    const auto length = static_cast<rapidjson::SizeType>(text.size());
    return asKey ? writer.Key(text.data(), length) : writer.String(text.data(), length);
}

/// Writes each node of a walk: empty as null, bool, signed and unsigned
/// integers, floats (non-finite ones as null), strings with RapidJSON's
/// escaping and ill-formed UTF-8 as U+FFFD, blobs as base64 strings, enums as the
/// enumerator's name when the type context knows it and otherwise as a signed
/// integer, collections as arrays and structures as objects in member order.
/// Writer is CompactJsonWriter or IndentedJsonWriter; it and the type context
/// (which may be null) must outlive the visitor.
template <class Writer>
class JsonValueWriter final : public BindingVisitor {
public:
    JsonValueWriter(Writer& writer, const EnumNameLookup* typeContext) noexcept
        : writer_(writer), typeContext_(typeContext) {}

    /// Writes `value` with the same operations, in the same order, as
    /// value.Visit(*this) calls them, but as direct calls: the class is final,
    /// so no node pays for a virtual dispatch.
    void Write(const BindingProperty& value);

    bool Empty() override;
    bool Bool(bool value) override;
    bool Signed(int64_t value) override;
    bool Unsigned(uint64_t value) override;
    bool Float(double value) override;
    bool String(std::string_view text) override;
    bool Blob(std::span<const uint8_t> bytes) override;
    bool Enum(const BindingEnum& pair) override;
    bool BeginCollection(size_t count) override;
    bool BeginElement(size_t index) override;
    bool EndElement(size_t index) override;
    bool EndCollection() override;
    bool BeginStructure(size_t count) override;
    bool MemberName(std::string_view name) override;
    bool EndMember() override;
    bool EndStructure() override;

private:
    Writer& writer_;
    const EnumNameLookup* typeContext_;
};

extern template class JsonValueWriter<CompactJsonWriter>;
extern template class JsonValueWriter<IndentedJsonWriter>;

}  // namespace Nimbel::internal
