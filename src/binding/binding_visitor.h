// The walker interface of BindingProperty::Visit: one call per node, depth
// first, so writers and converters can consume a tree without knowing its layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "binding/binding_property.h"

namespace Nimbel {

/// Receives a walk of a tree. A collection arrives as BeginCollection, then per
/// element BeginElement, the element, EndElement, then EndCollection; a
/// structure as BeginStructure, then per member (in name order) MemberName,
/// the member, EndMember, then EndStructure. Every operation returns whether
/// the visitor is content, as a writer's handler does; the walk goes on either
/// way, so a visitor that fails must remember it. The tree must not change
/// during the walk; texts and bytes are valid only during the call.
class BindingVisitor {
public:
    virtual ~BindingVisitor() = default;

    [[nodiscard]] virtual bool Empty() = 0;
    [[nodiscard]] virtual bool Bool(bool value) = 0;
    [[nodiscard]] virtual bool Signed(int64_t value) = 0;
    [[nodiscard]] virtual bool Unsigned(uint64_t value) = 0;
    [[nodiscard]] virtual bool Float(double value) = 0;
    [[nodiscard]] virtual bool String(std::string_view text) = 0;
    [[nodiscard]] virtual bool Blob(std::span<const uint8_t> bytes) = 0;
    [[nodiscard]] virtual bool Enum(const BindingEnum& pair) = 0;
    [[nodiscard]] virtual bool BeginCollection(size_t count) = 0;
    [[nodiscard]] virtual bool BeginElement(size_t index) = 0;
    [[nodiscard]] virtual bool EndElement(size_t index) = 0;
    [[nodiscard]] virtual bool EndCollection() = 0;
    [[nodiscard]] virtual bool BeginStructure(size_t count) = 0;
    [[nodiscard]] virtual bool MemberName(std::string_view name) = 0;
    [[nodiscard]] virtual bool EndMember() = 0;
    [[nodiscard]] virtual bool EndStructure() = 0;
};

}  // namespace Nimbel
