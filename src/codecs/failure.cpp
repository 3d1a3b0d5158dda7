// Failure: message storage, the code's field, and the text form.
#include "codecs/failure.h"

#include "codecs/internal/counted_json_allocator.h"
#include "codecs/internal/json_text_buffer.h"
#include "codecs/internal/json_value_writer.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

constexpr const char* kCodeFieldName = "errorCode_int";

void WriteField(internal::CompactJsonWriter& writer, const NamedValue& value) {
    switch (value.kind()) {
        case NamedValue::Kind::Bool:
            writer.Bool(value.boolValue());
            return;
        case NamedValue::Kind::Signed:
            writer.Int64(value.signedValue());
            return;
        case NamedValue::Kind::Unsigned:
            writer.Uint64(value.unsignedValue());
            return;
        case NamedValue::Kind::Double:
            internal::WriteDoubleOrNull(writer, value.doubleValue());
            return;
        case NamedValue::Kind::Text:
            internal::WriteUtf8String(writer, value.text());
            return;
    }
    writer.Null();
}

[[nodiscard]] std::string FailureAsJson(const Failure& failure) {
    internal::CountedJsonAllocator allocator;
    internal::JsonTextBuffer buffer;
    internal::CompactJsonWriter writer(buffer, &allocator);
    writer.StartObject();
    writer.Key("message");
    internal::WriteUtf8String(writer, failure.Message());
    for (const NamedValues::Entry& field : failure.Fields()) {
        internal::WriteUtf8String(writer, field.name, true);
        WriteField(writer, field.value);
    }
    writer.EndObject();
    return std::string(buffer.Text());
}

}  // namespace

Failure Failure::WithLiteral(int32_t code, const char* literal) {
    Failure failure;
    failure.SetLiteralMessage(literal);
    failure.SetCode(code);
    return failure;
}

Failure Failure::WithMessage(int32_t code, std::string message) {
    Failure failure;
    failure.SetMessage(std::move(message));
    failure.SetCode(code);
    return failure;
}

Failure Failure::FromFilledTemplate(int32_t code, TemplateMessage filled) {
    Failure failure;
    failure.SetMessage(std::move(filled.text));
    failure.fields_ = std::move(filled.values);
    failure.SetCode(code);
    return failure;
}

void Failure::SetCode(int32_t code) {
    code_ = code;
    if (code != 0) fields_.Set(kCodeFieldName, int64_t{code});
}

std::string_view Failure::Message() const noexcept {
    switch (messageKind_) {
        case MessageKind::Literal:
            return literal_;
        case MessageKind::Owned:
            return owned_;
        case MessageKind::Absent:
            break;
    }
    return {};
}

void Failure::SetMessage(std::string message) {
    owned_ = std::move(message);
    literal_ = nullptr;
    messageKind_ = MessageKind::Owned;
}

void Failure::SetLiteralMessage(const char* literal) noexcept {
    owned_.clear();
    literal_ = literal;
    messageKind_ = literal != nullptr ? MessageKind::Literal : MessageKind::Absent;
}

void Failure::SetField(std::string name, NamedValue value) {
    fields_.Set(std::move(name), std::move(value));
}

void Failure::ClearFields() noexcept {
    fields_ = NamedValues();
}

std::string FailureToText(const Failure& failure) {
    if (!failure.HasMessage()) return std::string();
    if (failure.Fields().empty()) {
        if (failure.Code() == 0) return std::string(failure.Message());
        return FormatMessage("%1 (%2)", failure.Message(), failure.Code());
    }
    return FailureAsJson(failure);
}

std::string ToFormatText(const Failure& failure) {
    return FailureToText(failure);
}

}  // namespace Nimbel
