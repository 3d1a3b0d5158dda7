// The named-template formatter: turns a template with "{name}"
// placeholders ("Error response for {method} {url}: {error}") into a
// positional format text plus a table of named values, so that one call
// yields both the message and the structured values of an error record.
//
// Template syntax, outside a placeholder: "{{" is "{", "}}" and a lone "}" are
// "}", "%%" stays "%%", a printf-style conversion directive passes through when its
// argument exists. Inside "{...}" ("{#...}" for a typed placeholder): "!"
// hides the value from the text, "?" starts the text written instead of a
// false, zero or empty value, ":" starts the conversion ({count:5d}), "\"
// takes the next character literally, "{" is ignored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "diagnostics/text_format.h"

namespace Nimbel {

/// A named argument: a copy of a value of one of five kinds. The text is owned.
struct NamedValue {
    enum class Kind : uint8_t { Bool = 1, Signed = 2, Unsigned = 3, Double = 4, Text = 5 };

    NamedValue() noexcept : NamedValue(false) {}
    NamedValue(bool value) noexcept : kind_(Kind::Bool) { scalar_.boolean = value; }
    /// Every signed integer type (char included) is a signed 64-bit value.
    template <class T>
    requires std::is_integral_v<T> && std::is_signed_v<T> NamedValue(T value)
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): a signed char is a number here
    noexcept : kind_(Kind::Signed) { scalar_.signedValue = value; }
    /// Every unsigned integer type but bool is an unsigned 64-bit value.
    template <class T>
    requires std::is_integral_v<T> && std::is_unsigned_v<T> &&
        (!std::is_same_v<T, bool>)NamedValue(T value) noexcept
        : kind_(Kind::Unsigned) {
        scalar_.unsignedValue = value;
    }
    template <class T>
    requires std::is_floating_point_v<T> NamedValue(T value)
    noexcept : kind_(Kind::Double) { scalar_.doubleValue = static_cast<double>(value); }
    /// A null text is the empty text.
    NamedValue(const char* text) : kind_(Kind::Text), text_(text != nullptr ? text : "") {}
    NamedValue(std::string text) noexcept : kind_(Kind::Text), text_(std::move(text)) {}
    NamedValue(std::string_view text) : kind_(Kind::Text), text_(text) {}
    /// A record with an ADL-found ToFormatText is its text.
    template <FormatTextRecord T>
    NamedValue(const T& record) : kind_(Kind::Text), text_(ToFormatText(record)) {}
    /// Pointers other than texts would silently become bool: refused.
    template <class T>
    requires(!std::is_same_v<std::remove_cv_t<T>, char>) NamedValue(T*)
    = delete;

    [[nodiscard]] Kind kind() const noexcept { return kind_; }
    /// The value of its kind; each accessor is meaningful only for its own kind
    /// and returns false, zero or the empty text for the others.
    [[nodiscard]] bool boolValue() const noexcept { return kind_ == Kind::Bool && scalar_.boolean; }
    [[nodiscard]] int64_t signedValue() const noexcept {
        return kind_ == Kind::Signed ? scalar_.signedValue : 0;
    }
    [[nodiscard]] uint64_t unsignedValue() const noexcept {
        return kind_ == Kind::Unsigned ? scalar_.unsignedValue : 0;
    }
    [[nodiscard]] double doubleValue() const noexcept {
        return kind_ == Kind::Double ? scalar_.doubleValue : 0.0;
    }
    [[nodiscard]] const std::string& text() const noexcept { return text_; }

    /// False, zero (for a double: equal to 0.0, so -0.0 too, NaN not) or an
    /// empty text: the values a placeholder's alternative text replaces.
    [[nodiscard]] bool IsFalsy() const noexcept;

    /// Same kind and same value (doubles compare as doubles).
    friend bool operator==(const NamedValue& a, const NamedValue& b) noexcept;

private:
    Kind kind_;
    union {
        bool boolean;
        int64_t signedValue;
        uint64_t unsignedValue;
        double doubleValue;
    } scalar_{};
    std::string text_;
};

/// The named-values table: placeholder name to a copy of its value. Names are
/// hashed with FNV-1a (Nimbel::Fnv1a); entries iterate in the order their
/// names were first set, and setting a name again replaces its value in place.
class NamedValues {
public:
    struct Entry {
        std::string name;
        NamedValue value;
        uint32_t hash = 0;  ///< Fnv1a(name)
    };
    using const_iterator = std::vector<Entry>::const_iterator;

    /// The value set under `name`, or null. Valid until the next Set.
    [[nodiscard]] const NamedValue* Find(std::string_view name) const noexcept;
    /// Sets `name` to `value`: replaces an existing entry's value (keeping its
    /// position) or appends a new entry.
    void Set(std::string name, NamedValue value);

    [[nodiscard]] size_t size() const noexcept { return entries_.size(); }
    [[nodiscard]] bool empty() const noexcept { return entries_.empty(); }
    [[nodiscard]] const_iterator begin() const noexcept { return entries_.begin(); }
    [[nodiscard]] const_iterator end() const noexcept { return entries_.end(); }

    /// Same entries in the same order.
    friend bool operator==(const NamedValues& a, const NamedValues& b) noexcept;

private:
    // Open addressing over entry indices + 1 (0 is an empty slot); the slot
    // count is a power of two at least twice the entry count.
    [[nodiscard]] size_t SlotOf(std::string_view name, uint32_t hash) const noexcept;
    void Grow();

    std::vector<Entry> entries_;
    std::vector<uint32_t> slots_;
};

/// Appends to `out` the positional format text of `tmpl` and records the
/// named values of args[0..count) in `values`, with these readings: the trailing whitespace that a
/// hidden placeholder removes is only whitespace this call appended; a conversion text given empty
/// ("{n:}") counts as none, while an alternative text given empty
/// ("{n?}") is one; a placeholder or conversion directive the template ends inside
/// is dropped; a conversion directive too long to read ends the preparation. A bare
/// "%N" that the next output would extend with a digit or "$" ("{n}0") is
/// written with its position and the default conversion of the value's kind
/// ("%1$lld0"), so Format reads it as the same argument.
void PrepareTemplate(std::string_view tmpl, const NamedValue* args, size_t count, std::string& out,
                     NamedValues& values);

/// A filled message and the named values of its placeholders.
struct TemplateMessage {
    std::string text;
    NamedValues values;
};

/// PrepareTemplate of `tmpl` over named[0..count), then Format of the prepared
/// text over args[0..count) into a 4096-byte buffer (the text is cut beyond
/// 4095 characters). named[i] and args[i] must be the same argument.
[[nodiscard]] TemplateMessage FormatTemplateWith(std::string_view tmpl, const NamedValue* named,
                                                 const FormatArg* args, size_t count);

/// Fills `tmpl` with `args` and records their named values:
/// FormatTemplate("Error response for {method} {url}: {error}", "GET", "/x", "timeout")
/// gives the text "Error response for GET /x: timeout" and the values
/// {method, url, error}. Every argument must make both a NamedValue and a FormatArg.
template <class... Args>
[[nodiscard]] TemplateMessage FormatTemplate(const char* tmpl, const Args&... args) {
    const std::array<NamedValue, sizeof...(Args)> named{NamedValue(args)...};
    const std::array<FormatArg, sizeof...(Args)> positional{FormatArg(args)...};
    return FormatTemplateWith(tmpl != nullptr ? std::string_view(tmpl) : std::string_view(),
                              named.data(), positional.data(), sizeof...(Args));
}

}  // namespace Nimbel
