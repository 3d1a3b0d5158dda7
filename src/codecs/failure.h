// Failure: what a call to another plug-in reports when it yields no result
// (a code, a message and named fields), and its one-line text form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "diagnostics/message_template.h"

namespace Nimbel {

/// A code (the other plug-in's HTTP status for an error answer, 400 for
/// parameters that do not convert, 0 otherwise), a message that is absent, a
/// literal or an owned text, and a table of named fields (bool, signed,
/// unsigned, double or text) kept in the order their names were first set.
///
/// Setting a non-zero code also sets the signed field "errorCode_int" to it;
/// setting 0 leaves the fields alone. Copies are independent, except that a
/// literal message is shared: it must have static storage.
class Failure {
public:
    /// Code 0, no message, no fields; its text is empty.
    Failure() = default;

    /// `code` with a message that is a literal of static storage, not copied;
    /// a null literal leaves the message absent.
    [[nodiscard]] static Failure WithLiteral(int32_t code, const char* literal);
    /// `code` with an owned copy of `message`.
    [[nodiscard]] static Failure WithMessage(int32_t code, std::string message);
    /// `code` with the message `tmpl` filled by `args` (FormatTemplate), each
    /// placeholder's value recorded as a field under its name, then
    /// "errorCode_int" when the code is not zero:
    /// FromTemplate(404, "Error response for {method} {url}: {error}", "GET", "/x", "gone")
    /// has the message "Error response for GET /x: gone" and the fields
    /// method, url, error and errorCode_int, in that order.
    template <class... Args>
    [[nodiscard]] static Failure FromTemplate(int32_t code, const char* tmpl, const Args&... args) {
        return FromFilledTemplate(code, FormatTemplate(tmpl, args...));
    }

    [[nodiscard]] int32_t Code() const noexcept { return code_; }
    /// Stores `code`; a non-zero code is also set as the field "errorCode_int".
    void SetCode(int32_t code);

    [[nodiscard]] bool HasMessage() const noexcept { return messageKind_ != MessageKind::Absent; }
    /// The message; empty when absent. Valid until the message changes or the
    /// failure is destroyed (a literal's view lives for the whole process).
    [[nodiscard]] std::string_view Message() const noexcept;
    void SetMessage(std::string message);
    /// A literal of static storage; null makes the message absent.
    void SetLiteralMessage(const char* literal) noexcept;

    [[nodiscard]] const NamedValues& Fields() const noexcept { return fields_; }
    /// Sets field `name`; an existing field keeps its place and takes the value.
    void SetField(std::string name, NamedValue value);
    /// Removes every field, "errorCode_int" included; the code stays.
    void ClearFields() noexcept;

private:
    enum class MessageKind : uint8_t { Absent, Literal, Owned };

    [[nodiscard]] static Failure FromFilledTemplate(int32_t code, TemplateMessage filled);

    int32_t code_ = 0;
    MessageKind messageKind_ = MessageKind::Absent;
    const char* literal_ = nullptr;
    std::string owned_;
    NamedValues fields_;
};

/// The failure as one line of text:
/// - no message: the empty text;
/// - no fields: the message, followed by " (<code>)" when the code is not 0;
/// - otherwise a compact JSON object: "message" first, then each field in the
///   table's order, bools as true/false, integers in decimal, doubles in their
///   shortest form (NaN and infinities as null), texts as JSON strings (with
///   ill-formed UTF-8 as U+FFFD, so the object is always valid JSON).
[[nodiscard]] std::string FailureToText(const Failure& failure);

/// FailureToText, so that messages format a failure with "%1" and templates
/// record it as a text value.
[[nodiscard]] std::string ToFormatText(const Failure& failure);

}  // namespace Nimbel
