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

JsonValueBuilder::JsonValueBuilder(BindingProperty& root) : target_(&root) {
    open_.reserve(32);
}

BindingProperty* JsonValueBuilder::Place() {
    if (open_.empty() || !open_.back().isCollection) return target_;
    OpenContainer& collection = open_.back();
    if (collection.count >= BindingProperty::kMaxCount) {
        static_cast<void>(Refuse(Refusal::TooManyNodes));
        return nullptr;
    }
    ++collection.count;
    return &collection.node->Append();
}

bool JsonValueBuilder::Double(double value) {
    // A number below the reader's own limit ("1.8e308") can still round to an
    // infinity, which no JSON writer can write back.
    if (!std::isfinite(value)) return Refuse(Refusal::NumberNotFinite);
    return Store(value);
}

bool JsonValueBuilder::RawNumber(const Ch* text, rapidjson::SizeType length, bool) {
    const std::string_view number(text, length);
    const bool negative = number.front() == '-';
    const std::string_view digits = number.substr(negative ? 1 : 0);
    if (IsDigitsOnly(digits)) {
        uint64_t magnitude = 0;
        const auto [stop, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        if (error == std::errc() && !negative) return Store(magnitude);
        if (error == std::errc() && magnitude <= kSignedMagnitudeLimit) {
            return Store(static_cast<int64_t>(0 - magnitude));
        }
        // Beyond 64 bits: a float, like every number with a fraction or exponent.
    }
    return Double(NearestDouble(number));
}

bool JsonValueBuilder::Key(const Ch* text, rapidjson::SizeType length, bool) {
    OpenContainer& structure = open_.back();
    const std::string_view name(text, length);
    if (structure.count >= BindingProperty::kMaxCount) {
        // Keys may repeat: only the structure knows how many members it has.
        structure.count = structure.node->Size();
        if (structure.count >= BindingProperty::kMaxCount &&
            structure.node->FindMember(name) == nullptr) {
            return Refuse(Refusal::TooManyNodes);
        }
    }
    ++structure.count;
    target_ = &(*structure.node)[name];
    return true;
}

bool JsonValueBuilder::Open(BindingPropertyKind kind) {
    if (open_.size() >= kMaxDepth) return Refuse(Refusal::TooDeep);
    BindingProperty* target = Place();
    if (target == nullptr) return false;
    const bool isCollection = kind == BindingPropertyKind::Collection;
    if (isCollection) {
        target->MakeCollection();
    } else {
        target->MakeStructure();
    }
    // A repeated key reopens a container that may already hold nodes.
    open_.push_back(OpenContainer{target, target->Size(), isCollection});
    return true;
}

bool JsonValueBuilder::Close() {
    open_.pop_back();
    return true;
}

bool JsonValueBuilder::Refuse(Refusal refusal) noexcept {
    refusal_ = refusal;
    return false;
}

}  // namespace Nimbel::internal
