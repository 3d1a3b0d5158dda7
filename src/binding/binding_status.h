// BindingStatus: the result of every parse and conversion, a value plus an ok
// flag, so that bad input is reported without exceptions.
#pragma once

#include <string_view>

#include "binding/binding_property.h"

namespace Nimbel {

/// Ok and empty when fresh. A failed status has ok clear and holds a structure
/// whose one member "error" is the message, as a string.
class [[nodiscard]] BindingStatus {
public:
    BindingStatus() = default;
    /// Ok, holding `value`: a root moves in without a copy, a node is copied.
    explicit BindingStatus(BindingProperty value);
    /// Takes the other status's value and flag; the other is then ok and empty.
    // NOLINTNEXTLINE(performance-noexcept-move-constructor): moves a value, which may allocate
    BindingStatus(BindingStatus&& other);
    // NOLINTNEXTLINE(performance-noexcept-move-constructor): moves a value, which may allocate
    BindingStatus& operator=(BindingStatus&& other);

    [[nodiscard]] bool Ok() const noexcept { return ok_; }
    /// Clears the value and the ok flag, then sets member "error" to `message`
    /// (cut at its first NUL, as every interned text).
    void SetError(std::string_view message);
    /// The "error" member's text; empty when ok, or when the member is missing
    /// or not a string. Valid until the status changes.
    [[nodiscard]] std::string_view ErrorMessage() const noexcept;

    [[nodiscard]] const BindingProperty& Value() const noexcept { return value_; }
    [[nodiscard]] BindingProperty& Value() noexcept { return value_; }

private:
    BindingProperty value_;
    bool ok_ = true;
};

}  // namespace Nimbel
