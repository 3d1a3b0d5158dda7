// OwnedCoreValue: the owner of one core value record that this library made,
// so that what the record owns is released exactly once, on every path.
#pragma once

#include <utility>

#include "abi/core_abi.h"
#include "binding/core_value.h"

namespace Nimbel {

/// Holds a CoreValue record and releases it (CoreValueRelease) when destroyed
/// or assigned over. Move-only: a moved-from owner holds an empty record.
/// Only for records whose buffers come from this library's allocator, as
/// CoreValueRelease requires; a record filled by someone else is released by
/// its filler.
class OwnedCoreValue {
public:
    OwnedCoreValue() noexcept = default;
    /// Takes over `value` and what it owns.
    explicit OwnedCoreValue(const CoreValue& value) noexcept : value_(value) {}
    OwnedCoreValue(OwnedCoreValue&& other) noexcept : value_(other.Release()) {}
    OwnedCoreValue& operator=(OwnedCoreValue&& other) noexcept {
        if (this != &other) {
            CoreValueRelease(value_);
            value_ = other.Release();
        }
        return *this;
    }
    OwnedCoreValue(const OwnedCoreValue&) = delete;
    OwnedCoreValue& operator=(const OwnedCoreValue&) = delete;
    ~OwnedCoreValue() { CoreValueRelease(value_); }

    /// The record, to fill (the setters release what it held) or to read.
    [[nodiscard]] CoreValue& Get() noexcept { return value_; }
    [[nodiscard]] const CoreValue& Get() const noexcept { return value_; }

    /// Hands the record and what it owns to the caller, leaving this empty.
    [[nodiscard]] CoreValue Release() noexcept { return std::exchange(value_, CoreValue{}); }

private:
    alignas(KzoWord) CoreValue value_{};
};

}  // namespace Nimbel
