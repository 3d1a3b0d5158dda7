// What an endpoint's handler answers: its result, or an HTTP status with a
// message. Handlers report failures this way, never by throwing.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace Nimbel {

/// A failed request: the HTTP status and the message the caller receives.
struct EndpointError {
    uint32_t status = 500;
    std::string message;
};

/// Status 500 with `message`, or "Internal server error" when it is empty.
[[nodiscard]] EndpointError InternalError(std::string message = {});
/// Status 404 with `message`, or "Not found" when it is empty.
[[nodiscard]] EndpointError NotFound(std::string message = {});

/// Holds either a T or an EndpointError, never both and never neither.
template <class T>
class [[nodiscard]] EndpointResult {
public:
    EndpointResult(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    EndpointResult(EndpointError error) : state_(std::in_place_index<1>, std::move(error)) {}

    [[nodiscard]] bool Ok() const noexcept { return state_.index() == 0; }
    /// The value; only when Ok().
    [[nodiscard]] T& Value() noexcept { return *std::get_if<0>(&state_); }
    [[nodiscard]] const T& Value() const noexcept { return *std::get_if<0>(&state_); }
    /// The error; only when not Ok().
    [[nodiscard]] const EndpointError& Error() const noexcept { return *std::get_if<1>(&state_); }

private:
    std::variant<T, EndpointError> state_;
};

}  // namespace Nimbel
