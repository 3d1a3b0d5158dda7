// MaybeType: the result of a call to another plug-in, either the value asked
// for or the failure that explains why there is none.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>
#include <variant>

namespace Nimbel {

/// Holds exactly one of a T or an E (in this framework E is `Failure`).
/// Copies and moves keep the alternative; there is no empty state.
///
///   MaybeType<Failure, MatchHistoryGame> game = OutboundRequest<MatchHistoryGame>(...);
///   if (game.HasFailure()) return InternalError(...game.GetFailure()...);
///   Use(game.GetValue());
template <class E, class T>
class MaybeType {
    static_assert(!std::is_same_v<E, T>, "the two alternatives must be distinct types");

public:
    /// A value-initialised T.
    MaybeType() : storage_(std::in_place_index<kValue>) {}
    MaybeType(T value) : storage_(std::in_place_index<kValue>, std::move(value)) {}
    MaybeType(E failure) : storage_(std::in_place_index<kFailure>, std::move(failure)) {}

    /// Whether this holds the failure.
    [[nodiscard]] bool HasFailure() const noexcept { return storage_.index() == kFailure; }
    [[nodiscard]] bool HasValue() const noexcept { return storage_.index() == kValue; }

    /// The value; only when HasValue().
    [[nodiscard]] T& GetValue() & { return std::get<kValue>(storage_); }
    [[nodiscard]] const T& GetValue() const& { return std::get<kValue>(storage_); }
    [[nodiscard]] T&& GetValue() && { return std::get<kValue>(std::move(storage_)); }

    /// The failure; only when HasFailure().
    [[nodiscard]] E& GetFailure() & { return std::get<kFailure>(storage_); }
    [[nodiscard]] const E& GetFailure() const& { return std::get<kFailure>(storage_); }
    [[nodiscard]] E&& GetFailure() && { return std::get<kFailure>(std::move(storage_)); }

private:
    static constexpr std::size_t kValue = 0;
    static constexpr std::size_t kFailure = 1;

    std::variant<T, E> storage_;
};

}  // namespace Nimbel
