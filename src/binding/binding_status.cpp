// BindingStatus: failure as a value with one "error" member.
#include "binding/binding_status.h"

#include <string>
#include <utility>

namespace Nimbel {

BindingStatus::BindingStatus(BindingProperty value) : value_(std::move(value)) {}

// NOLINTNEXTLINE(performance-noexcept-move-constructor): moves a value, which may allocate
BindingStatus::BindingStatus(BindingStatus&& other)
    : value_(std::move(other.value_)), ok_(std::exchange(other.ok_, true)) {}

// NOLINTNEXTLINE(performance-noexcept-move-constructor): moves a value, which may allocate
BindingStatus& BindingStatus::operator=(BindingStatus&& other) {
    if (this != &other) {
        value_ = std::move(other.value_);
        ok_ = std::exchange(other.ok_, true);
    }
    return *this;
}

void BindingStatus::SetError(std::string_view message) {
    // Copied before the value is cleared: the message may be a view of it.
    const std::string text(message);
    value_.Clear();
    ok_ = false;
    value_["error"] = text;
}

std::string_view BindingStatus::ErrorMessage() const noexcept {
    if (ok_) return {};
    return value_["error"].GetString();
}

}  // namespace Nimbel
