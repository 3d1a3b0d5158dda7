// JsonValueBuilder: placing values, opening containers, and the refusals that
// keep hostile input from overflowing the stack or throwing.
#include "codecs/internal/json_value_builder.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <system_error>

#include "binding/number_text.h"

namespace Nimbel::internal {
namespace {

// Integers of at most this many digits fit 64 bits, signed or not.
constexpr size_t kDigitsThatFitAlways = 18;

// The magnitude of the smallest signed 64-bit integer.
constexpr uint64_t kSignedMagnitudeLimit = uint64_t{1} << 63;

[[nodiscard]] bool IsDigitsOnly(std::string_view text) noexcept {
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The double nearest to a JSON number's text. from_chars rounds correctly
// but leaves a magnitude that rounds to zero or to infinity unset; the "C"
// locale's strtod, correctly rounded too, then tells which, with its sign.
[[nodiscard]] double NearestDouble(std::string_view text) {
    double value = 0.0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc::result_out_of_range) return value;
    return CLocaleStrtod(std::string(text).c_str(), nullptr);
}

}  // namespace

JsonValueBuilder::JsonValueBuilder(BindingProperty& root)
    : tree_(root, RepeatedNameRule::ExtendCollections) {}

bool JsonValueBuilder::MayPlace() {
    if (!tree_.InCollection() || tree_.OpenCount() < BindingProperty::kMaxCount) return true;
    return Refuse(Refusal::TooManyNodes);
}

bool JsonValueBuilder::Double(double value) {
    // A number below the reader's own limit ("1.8e308") can still round to an
    // infinity, which no JSON writer can write back.
    if (!std::isfinite(value)) return Refuse(Refusal::NumberNotFinite);
    if (!MayPlace()) return false;
    tree_.Float(value);
    return true;
}

bool JsonValueBuilder::RawNumber(const Ch* text, rapidjson::SizeType length, bool) {
    const std::string_view number(text, length);
    const bool negative = number.front() == '-';
    const std::string_view digits = number.substr(negative ? 1 : 0);
    // Up to 18 digits fit any 64-bit integer: most numbers end here.
    if (digits.size() <= kDigitsThatFitAlways) {
        uint64_t magnitude = 0;
        size_t read = 0;
        for (; read < digits.size(); ++read) {
            const unsigned digit = static_cast<unsigned char>(digits[read]) - '0';
            if (digit > 9) break;
            magnitude = magnitude * 10 + digit;
        }
        if (read == digits.size()) {
            return negative ? Int64(static_cast<int64_t>(0 - magnitude)) : Uint64(magnitude);
        }
    }
    if (IsDigitsOnly(digits)) {
        uint64_t magnitude = 0;
        const auto [stop, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        if (error == std::errc() && !negative) return Uint64(magnitude);
        if (error == std::errc() && magnitude <= kSignedMagnitudeLimit) {
            return Int64(static_cast<int64_t>(0 - magnitude));
        }
        // Beyond 64 bits: a float, like every number with a fraction or exponent.
    }
    return Double(NearestDouble(number));
}

bool JsonValueBuilder::Key(const Ch* text, rapidjson::SizeType length, bool) {
    const std::string_view name(text, length);
    if (tree_.OpenCount() >= BindingProperty::kMaxCount) {
        // Keys may repeat: only the combined members count.
        if (!tree_.CombineRepeatedNames()) return Refuse(Refusal::TooManyNodes);
        if (tree_.OpenCount() >= BindingProperty::kMaxCount && !tree_.HasOpenMember(name)) {
            return Refuse(Refusal::TooManyNodes);
        }
    }
    tree_.Key(name);
    return true;
}

bool JsonValueBuilder::Open(bool isCollection) {
    if (tree_.Depth() >= kMaxDepth) return Refuse(Refusal::TooDeep);
    if (!MayPlace()) return false;
    if (isCollection) {
        tree_.OpenCollection();
    } else {
        tree_.OpenStructure();
    }
    return true;
}

bool JsonValueBuilder::Close() {
    return tree_.Close() || Refuse(Refusal::TooManyNodes);
}

bool JsonValueBuilder::Refuse(Refusal refusal) noexcept {
    refusal_ = refusal;
    return false;
}

}  // namespace Nimbel::internal
