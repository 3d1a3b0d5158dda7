// The positional formatter: fills a format text whose placeholders
// are "%1", "%2", ... or printf-style conversions with optional positions
// ("%2$5d", "%*d", "%1$*2$.3f"), checking each argument's kind against the
// conversion.
//
// Formatting never fails with an error: a bad conversion directive, a missing
// argument or a full buffer ends the output where it stands, and the output is
// always NUL-terminated within its capacity.
//
// Every value reaches the C library's snprintf with a length modifier that
// matches the C type actually passed (see FormatKind), so no conversion directive
// text can make the call undefined.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace Nimbel {

/// A conversion directive as a kind's writer receives it: the argument
/// position is gone, the conversion letter is one of the kind's allowed ones,
/// and "*" widths and precisions have been read from their arguments.
struct FormatDirective {
    /// Longest conversion directive text ("%" to the conversion letter, without the
    /// position) that Format accepts; a longer one stops formatting.
    static constexpr size_t kMaxTextLength = 60;

    char text[kMaxTextLength + 1] = {};  ///< the conversion directive text, NUL-terminated
    bool leftAlign = false;              ///< "-" flag, or a negative "*" width
    bool forceSign = false;              ///< "+" flag
    bool spaceSign = false;              ///< " " flag
    bool alternate = false;              ///< "#" flag
    bool zeroPad = false;                ///< "0" flag
    bool hasWidth = false;               ///< a width was given (digits or "*")
    bool hasPrecision = false;           ///< a "." was given (a negative "*" precision clears it)
    int32_t width = 0;                   ///< >= 0; digits saturate at INT32_MAX
    int32_t precision = 0;               ///< >= 0; "." alone is 0
    char length[3] = {};                 ///< "", "h", "hh", "l", "ll", "L", "j", "t" or "z"
    char conversion = '\0';              ///< the conversion letter
};

/// A reference to a text of known length; `data` may be null only when `size` is 0.
struct FormatTextRef {
    const char* data;
    size_t size;
};

/// The value a FormatArg carries: scalars by value (so an argument made from a
/// temporary number stays valid), texts and records by address (the caller
/// keeps them alive while formatting, as with std::string_view).
union FormatValue {
    int64_t signedValue;     ///< signed integer kinds, sign-extended
    uint64_t unsignedValue;  ///< unsigned integer kinds, zero-extended
    double doubleValue;      ///< the double kind
    const char* cText;       ///< NUL-terminated text; never null (null arguments become "")
    FormatTextRef text;      ///< owned text and text views
    const void* object;      ///< records, written through their kind's writer
};

/// Writes `value` as `directive` says into out[0..room), NUL-terminated when room > 0.
/// Returns the length the whole conversion needs (as snprintf does: more than
/// room - 1 means the output was cut), or a negative number to stop formatting.
using FormatWriter = int (*)(char* out, size_t room, const FormatDirective& directive,
                             const FormatValue& value) noexcept;
/// Reads an integer kind's value as a 32-bit integer, for "*" widths and precisions.
using FormatReader = int32_t (*)(const FormatValue& value) noexcept;

/// A kind of format argument.
///
/// Writers of integer kinds pass a 32-bit value (truncated, as the platform's
/// 32-bit build printed it) unless the conversion directive's length is "ll" or "j",
/// and a 64-bit value when it is; "h" and "hh" are kept, other lengths are
/// dropped. The double writer drops every length ("%Lf" prints a double), the
/// text writers too ("%ls" prints narrow text).
struct FormatKind {
    FormatWriter write;       ///< never null
    FormatReader readInt32;   ///< null for kinds that are not integer kinds
    bool isInteger;           ///< whether the kind may supply a "*" width or precision
    const char* conversions;  ///< allowed conversion letters; the first is the default
    const char* lengthText;   ///< length modifier given to a bare "%N"
};

/// The built-in kinds. Texts of every kind are written with "s".
extern const FormatKind kFormatChar8;       ///< signed 8-bit character: "cdiouxX"
extern const FormatKind kFormatSigned32;    ///< signed 32-bit integer: "dciouxX"
extern const FormatKind kFormatUnsigned32;  ///< unsigned 32-bit integer: "ucdioxX"
extern const FormatKind kFormatSigned64;    ///< signed 64-bit integer: "dciouxX", "ll"
extern const FormatKind kFormatUnsigned64;  ///< unsigned 64-bit integer: "ucdioxX", "ll"
extern const FormatKind kFormatDouble;      ///< double: "gaefGAEF"
extern const FormatKind kFormatCText;       ///< NUL-terminated text: "s"
extern const FormatKind kFormatOwnedText;   ///< std::string: "s"
extern const FormatKind kFormatTextView;    ///< std::string_view: "s"

/// Writes `text` under a conversion directive whose conversion is "s" (width, "-" and
/// precision apply); the writer of every text and record kind. Returns as a FormatWriter.
int WriteFormatText(char* out, size_t room, const FormatDirective& directive,
                    std::string_view text) noexcept;

/// A record that messages print as text: `ToFormatText(value)`, found by
/// argument-dependent lookup, returns its text form (the failure record, the
/// API version, the plug-in type, ...).
template <class T>
concept FormatTextRecord = requires(const T& value) {
    { ToFormatText(value) } -> std::convertible_to<std::string>;
};

namespace internal {
template <class T>
int WriteFormatRecord(char* out, size_t room, const FormatDirective& directive,
                      const FormatValue& value) noexcept {
    try {
        const std::string text = ToFormatText(*static_cast<const T*>(value.object));
        return WriteFormatText(out, room, directive, text);
    } catch (...) {
        return -1;  // no memory for the text: stop formatting where it stands
    }
}
}  // namespace internal

/// The kind of a record type T with ToFormatText: written as its text with "s".
template <FormatTextRecord T>
inline constexpr FormatKind kFormatRecord{&internal::WriteFormatRecord<T>, nullptr, false, "s", ""};

/// One format argument: its kind and its value. Cheap to copy and non-owning:
/// a text or record argument refers to the caller's object, which must outlive
/// the formatting (numbers are copied).
class FormatArg {
public:
    /// Any kind and value, for kinds beyond the built-in ones.
    constexpr FormatArg(const FormatKind& kind, FormatValue value) noexcept
        : kind_(&kind), value_(value) {}

    constexpr FormatArg(char value) noexcept : FormatArg(kFormatChar8, Signed(value)) {}
    constexpr FormatArg(signed char value) noexcept : FormatArg(kFormatChar8, Signed(value)) {}
    constexpr FormatArg(unsigned char value) noexcept
        : FormatArg(kFormatUnsigned32, Unsigned(value)) {}
    constexpr FormatArg(short value) noexcept : FormatArg(kFormatSigned32, Signed(value)) {}
    constexpr FormatArg(unsigned short value) noexcept
        : FormatArg(kFormatUnsigned32, Unsigned(value)) {}
    constexpr FormatArg(int value) noexcept : FormatArg(kFormatSigned32, Signed(value)) {}
    constexpr FormatArg(unsigned int value) noexcept
        : FormatArg(kFormatUnsigned32, Unsigned(value)) {}
    constexpr FormatArg(long value) noexcept : FormatArg(SignedKind<long>(), Signed(value)) {}
    constexpr FormatArg(unsigned long value) noexcept
        : FormatArg(UnsignedKind<unsigned long>(), Unsigned(value)) {}
    constexpr FormatArg(long long value) noexcept : FormatArg(kFormatSigned64, Signed(value)) {}
    constexpr FormatArg(unsigned long long value) noexcept
        : FormatArg(kFormatUnsigned64, Unsigned(value)) {}
    /// Written as the signed 32-bit integer 0 or 1.
    constexpr FormatArg(bool value) noexcept : FormatArg(kFormatSigned32, Signed(value ? 1 : 0)) {}
    constexpr FormatArg(double value) noexcept : FormatArg(kFormatDouble, Double(value)) {}
    constexpr FormatArg(float value) noexcept : FormatArg(kFormatDouble, Double(value)) {}
    /// Narrowed to double: the kinds have no wider floating type.
    constexpr FormatArg(long double value) noexcept
        : FormatArg(kFormatDouble, Double(static_cast<double>(value))) {}
    /// A NUL-terminated text; null is written as the empty text.
    constexpr FormatArg(const char* value) noexcept : kind_(&kFormatCText), value_() {
        value_.cText = value != nullptr ? value : "";
    }
    FormatArg(const std::string& value) noexcept : kind_(&kFormatOwnedText), value_() {
        value_.text = FormatTextRef{value.data(), value.size()};
    }
    constexpr FormatArg(std::string_view value) noexcept : kind_(&kFormatTextView), value_() {
        value_.text = FormatTextRef{value.data(), value.size()};
    }
    /// A record with an ADL-found `std::string ToFormatText(const T&)`.
    template <FormatTextRecord T>
    constexpr FormatArg(const T& value) noexcept : kind_(&kFormatRecord<T>), value_() {
        value_.object = &value;
    }
    /// Pointers other than texts would silently become bool: refused.
    template <class T>
    requires(!std::is_same_v<std::remove_cv_t<T>, char>) FormatArg(T*)
    = delete;

    [[nodiscard]] constexpr const FormatKind& kind() const noexcept { return *kind_; }
    [[nodiscard]] constexpr const FormatValue& value() const noexcept { return value_; }

private:
    static constexpr FormatValue Signed(int64_t v) noexcept {
        FormatValue value{};
        value.signedValue = v;
        return value;
    }
    static constexpr FormatValue Unsigned(uint64_t v) noexcept {
        FormatValue value{};
        value.unsignedValue = v;
        return value;
    }
    static constexpr FormatValue Double(double v) noexcept {
        FormatValue value{};
        value.doubleValue = v;
        return value;
    }
    // long and unsigned long are 64-bit here (and int64_t, uint64_t and size_t
    // are among them); where they are 32-bit they take the 32-bit kinds.
    template <class T>
    static constexpr const FormatKind& SignedKind() noexcept {
        return sizeof(T) == 8 ? kFormatSigned64 : kFormatSigned32;
    }
    template <class T>
    static constexpr const FormatKind& UnsignedKind() noexcept {
        return sizeof(T) == 8 ? kFormatUnsigned64 : kFormatUnsigned32;
    }

    const FormatKind* kind_;
    FormatValue value_;
};

/// Formats `format` with `args[0..count)` into out[0..capacity). The output is always
/// NUL-terminated within the capacity (nothing is written when capacity is 0) and, when cut for
/// lack of room, never ends inside a UTF-8 sequence. Returns the characters written, without the
/// NUL. A null format formats as the empty text; null args count as none.
size_t Format(char* out, size_t capacity, const char* format, const FormatArg* args,
              size_t count) noexcept;

/// The buffer size messages are formatted in: a message is cut at 4095 characters.
inline constexpr size_t kFormatMessageCapacity = 4096;

/// Formats into a 4096-byte buffer and returns the text (cut beyond 4095 characters).
template <class... Args>
[[nodiscard]] std::string FormatMessage(const char* format, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
    char buffer[kFormatMessageCapacity];
    const size_t length = Format(buffer, sizeof buffer, format, list.data(), list.size());
    return std::string(buffer, length);
}

}  // namespace Nimbel
