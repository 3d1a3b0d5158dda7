// The RapidJSON reader handler that builds a BindingProperty in place, one
// event at a time, with no intermediate document.
#pragma once

#include <rapidjson/rapidjson.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"
#include "diagnostics/allocator.h"

namespace Nimbel::internal {

/// Meets RapidJSON's Handler concept. Each value lands in the current target:
/// the root for the document's one value, a newly appended element inside a
/// collection, or the member named by the last key inside a structure (found
/// or created, so a repeated key reuses its member). null leaves the target
/// as it is; `[` and `{` keep a target that already has that kind, so a
/// repeated key extends its collection or structure.
///
/// Returning false from an event makes the reader stop with its
/// "Terminate parsing" error; Refused() then says why. The builder refuses a
/// container nested deeper than kMaxDepth (the reader recurses once per level,
/// and so do the value's destructor and every walk over it), a collection or
/// structure past BindingProperty::kMaxCount nodes (the value would throw),
/// and a number whose magnitude rounds to infinity.
///
/// Holds pointers into the tree under construction: the containers it has
/// opened stay in place because nothing is added to their parents while they
/// are open. The root must outlive the builder and change only through it.
class JsonValueBuilder {
public:
    using Ch = char;

    /// The deepest nesting accepted: 1000 containers inside one another.
    static constexpr size_t kMaxDepth = 1000;

    enum class Refusal : uint8_t {
        None,             ///< nothing refused (the reader's error is its own)
        TooDeep,          ///< a container would open past kMaxDepth
        TooManyNodes,     ///< a container would pass BindingProperty::kMaxCount
        NumberNotFinite,  ///< a number's magnitude rounds to infinity
    };

    /// Builds into `root`, which should be empty.
    explicit JsonValueBuilder(BindingProperty& root);

    /// Why the last refused event was refused; None while none was.
    [[nodiscard]] Refusal Refused() const noexcept { return refusal_; }

    // ---- RapidJSON handler events; false stops the reader -------------------
    bool Null() { return Place() != nullptr; }
    bool Bool(bool value) { return Store(value); }
    bool Int(int value) { return Store(int64_t{value}); }
    bool Uint(unsigned value) { return Store(uint64_t{value}); }
    bool Int64(int64_t value) { return Store(value); }
    bool Uint64(uint64_t value) { return Store(value); }
    bool Double(double value);
    /// Every number, when the reader runs with kParseNumbersAsStringsFlag: the
    /// text has JSON's number grammar, and the reader has already refused
    /// integer parts and exponents too large for a double. Integers become
    /// unsigned up to 2^64 - 1, or with a minus sign signed down to -2^63;
    /// every other number becomes the double nearest to it (ties to even), so
    /// that the shortest text of any finite double reads back as that double.
    bool RawNumber(const Ch* text, rapidjson::SizeType length, bool);
    bool String(const Ch* text, rapidjson::SizeType length, bool) {
        return Store(std::string_view(text, length));
    }
    bool StartObject() { return Open(BindingPropertyKind::Structure); }
    bool Key(const Ch* text, rapidjson::SizeType length, bool);
    bool EndObject(rapidjson::SizeType) { return Close(); }
    bool StartArray() { return Open(BindingPropertyKind::Collection); }
    bool EndArray(rapidjson::SizeType) { return Close(); }

private:
    /// The node the next value goes into, appending it first inside a
    /// collection; null (and a refusal recorded) when none may be added.
    [[nodiscard]] BindingProperty* Place();
    template <class T>
    [[nodiscard]] bool Store(const T& value) {
        BindingProperty* target = Place();
        if (target == nullptr) return false;
        *target = value;
        return true;
    }
    [[nodiscard]] bool Open(BindingPropertyKind kind);
    [[nodiscard]] bool Close();
    [[nodiscard]] bool Refuse(Refusal refusal) noexcept;

    /// An open container, with a count that spares asking it for its size at
    /// every node: elements held, or for a structure members held plus keys
    /// seen since (at least its member count).
    struct OpenContainer {
        BindingProperty* node;
        size_t count;
        bool isCollection;
    };

    std::vector<OpenContainer, CountingAllocator<OpenContainer>> open_;
    BindingProperty* target_;
    Refusal refusal_ = Refusal::None;
};

}  // namespace Nimbel::internal
