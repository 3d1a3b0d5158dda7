// Scalar resolution: tags first, then the plain-text rules in their fixed
// order (null words, numbers, bool words, text).
#include "codecs/internal/yaml_scalar.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "binding/number_text.h"
#include "diagnostics/text_format.h"

namespace Nimbel::internal {
namespace {

constexpr const char* kStringTag = "tag:yaml.org,2002:str";
constexpr const char* kIntegerTag = "tag:yaml.org,2002:int";
constexpr const char* kFloatTag = "tag:yaml.org,2002:float";
constexpr const char* kBoolTag = "tag:yaml.org,2002:bool";

constexpr std::array<std::string_view, 5> kNullWords = {"", "~", "null", "Null", "NULL"};
constexpr std::array<std::string_view, 11> kTrueWords = {"true", "True", "TRUE", "y",  "Y", "yes",
                                                         "Yes",  "YES",  "on",   "On", "ON"};
constexpr std::array<std::string_view, 11> kFalseWords = {
    "false", "False", "FALSE", "n", "N", "no", "No", "NO", "off", "Off", "OFF"};

// 2^63 and 2^64, both exact as doubles: the ends of the integer kinds.
constexpr double kSignedLimit = 9223372036854775808.0;
constexpr double kUnsignedLimit = 18446744073709551616.0;

template <size_t N>
[[nodiscard]] bool IsOneOf(std::string_view text,
                           const std::array<std::string_view, N>& words) noexcept {
    return std::find(words.begin(), words.end(), text) != words.end();
}

[[nodiscard]] bool HasTag(const YamlScalar& scalar, const char* tag) noexcept {
    return std::strcmp(scalar.tag, tag) == 0;
}

// The "C" locale's strtod reads a whole text only if it starts with a blank, a
// sign, a digit or a point (or spells inf or nan, which are never finite):
// other texts skip it.
[[nodiscard]] bool MayStartNumber(char first) noexcept {
    return (first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.' ||
           first == ' ' || (first >= '\t' && first <= '\r');
}

// A negative text of magnitude 0 ("-0") is not negative: it is unsigned 0.
void StoreInteger(bool negative, uint64_t magnitude, BindingProperty& target) {
    if (negative && magnitude != 0) {
        target = static_cast<int64_t>(0 - magnitude);
    } else {
        target = magnitude;
    }
}

enum class IntegerText : uint8_t { NotInteger, Stored, BeyondRange };

// Reads texts made only of an optional sign and decimal digits, or of an
// optional sign, "0x" and hexadecimal digits, as exact 64-bit integers, where
// strtod would round beyond 2^53. Stores nothing for other texts, nor for
// magnitudes that fit neither integer kind.
[[nodiscard]] IntegerText StoreExactInteger(std::string_view text, BindingProperty& target) {
    const bool negative = text.front() == '-';
    if (negative || text.front() == '+') text.remove_prefix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') return IntegerText::NotInteger;
    uint64_t magnitude = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, magnitude, base);
    if (error == std::errc::result_out_of_range) return IntegerText::BeyondRange;
    if (stop != end || error != std::errc()) return IntegerText::NotInteger;
    if (negative && magnitude > uint64_t{1} << 63) return IntegerText::BeyondRange;
    StoreInteger(negative, magnitude, target);
    return IntegerText::Stored;
}

// An integral double within an integer kind's range becomes that kind;
// everything else stays a double, so no value is cut or wrapped.
void StoreDouble(double value, BindingProperty& target) {
    const bool integral = value == std::trunc(value);  // false for NaN
    if (integral && value < 0 && value >= -kSignedLimit) {
        target = static_cast<int64_t>(value);
    } else if (integral && value >= 0 && value < kUnsignedLimit) {
        target = static_cast<uint64_t>(value);
    } else {
        target = value;
    }
}

[[nodiscard]] bool StoreNumber(std::string_view text, BindingProperty& target) {
    if (text.empty() || !MayStartNumber(text.front())) return false;
    const IntegerText integer = StoreExactInteger(text, target);
    if (integer == IntegerText::Stored) return true;
    char* end = nullptr;
    const double value = CLocaleStrtod(text.data(), &end);
    if (end != text.data() + text.size() || !std::isfinite(value)) return false;
    if (integer == IntegerText::BeyondRange) {
        target = value;  // rounding it to an integer would claim a precision it lacks
    } else {
        StoreDouble(value, target);
    }
    return true;
}

void ResolvePlain(std::string_view text, BindingProperty& target) {
    if (IsOneOf(text, kNullWords)) {
        target.Clear();
    } else if (StoreNumber(text, target)) {
        return;
    } else if (IsOneOf(text, kTrueWords)) {
        target = true;
    } else if (IsOneOf(text, kFalseWords)) {
        target = false;
    } else {
        target = text;
    }
}

void ResolveIntegerTag(std::string_view text, BindingProperty& target, BindingStatus& status) {
    if (!text.empty() && text.front() == '-') {
        const int64_t value =
            TextToSigned(status, text, {"yaml", "int64_t"}, std::numeric_limits<int64_t>::min(),
                         std::numeric_limits<int64_t>::max());
        if (status.Ok()) target = value;
    } else {
        const uint64_t value = TextToUnsigned(status, text, {"yaml", "uint64_t"},
                                              std::numeric_limits<uint64_t>::max());
        if (status.Ok()) target = value;
    }
}

void ResolveFloatTag(std::string_view text, BindingProperty& target, BindingStatus& status) {
    const double value =
        TextToDouble(status, text, {"yaml", "double"}, -std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::max());
    if (status.Ok()) target = value;
}

void ResolveBoolTag(std::string_view text, BindingProperty& target) {
    if (IsOneOf(text, kTrueWords)) {
        target = true;
    } else if (IsOneOf(text, kFalseWords)) {
        target = false;
    } else {
        target.Clear();
    }
}

}  // namespace

bool IsStringKeyTag(const char* tag) noexcept {
    return tag == nullptr || std::strcmp(tag, kStringTag) == 0;
}

void ResolveYamlScalar(const YamlScalar& scalar, BindingProperty& target, BindingStatus& status) {
    if (scalar.tag == nullptr) {
        if (scalar.quoted) {
            target = scalar.text;
        } else {
            ResolvePlain(scalar.text, target);
        }
    } else if (HasTag(scalar, kStringTag)) {
        target = scalar.text;
    } else if (HasTag(scalar, kIntegerTag)) {
        ResolveIntegerTag(scalar.text, target, status);
    } else if (HasTag(scalar, kFloatTag)) {
        ResolveFloatTag(scalar.text, target, status);
    } else if (HasTag(scalar, kBoolTag)) {
        ResolveBoolTag(scalar.text, target);
    } else {
        status.SetError(FormatMessage("Unsupported YAML tag '%1'.", scalar.tag));
    }
}

}  // namespace Nimbel::internal
