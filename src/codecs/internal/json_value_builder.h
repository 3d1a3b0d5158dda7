// The RapidJSON reader handler that builds a BindingProperty in place, one
// event at a time, with no intermediate document.
#pragma once

#include <rapidjson/rapidjson.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/tree_builder.h"

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
/// The tree is built by a TreeBuilder, which stores each container when it
/// closes; the root must outlive the builder and change only through it, and
/// holds the document once the reader has succeeded.
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
    bool Null() {
        if (!MayPlace()) return false;
        tree_.Empty();
        return true;
    }
    bool Bool(bool value) {
        if (!MayPlace()) return false;
        tree_.Bool(value);
        return true;
    }
    bool Int(int value) { return Int64(value); }
    bool Uint(unsigned value) { return Uint64(value); }
    bool Int64(int64_t value) {
        if (!MayPlace()) return false;
        tree_.Signed(value);
        return true;
    }
    bool Uint64(uint64_t value) {
        if (!MayPlace()) return false;
        tree_.Unsigned(value);
        return true;
    }
    bool Double(double value);
    /// Every number, when the reader runs with kParseNumbersAsStringsFlag: the
    /// text has JSON's number grammar, and the reader has already refused
    /// integer parts and exponents too large for a double. Integers become
    /// unsigned up to 2^64 - 1, or with a minus sign signed down to -2^63;
    /// every other number becomes the double nearest to it (ties to even), so
    /// that the shortest text of any finite double reads back as that double.
    bool RawNumber(const Ch* text, rapidjson::SizeType length, bool);
    bool String(const Ch* text, rapidjson::SizeType length, bool) {
        if (!MayPlace()) return false;
        tree_.String(std::string_view(text, length));
        return true;
    }
    bool StartObject() { return Open(false); }
    bool Key(const Ch* text, rapidjson::SizeType length, bool);
    bool EndObject(rapidjson::SizeType) { return Close(); }
    bool StartArray() { return Open(true); }
    bool EndArray(rapidjson::SizeType) { return Close(); }

private:
    /// Whether the innermost open collection may take one more element (a
    /// refusal is recorded when not); structures are counted at their keys.
    [[nodiscard]] bool MayPlace();
    [[nodiscard]] bool Open(bool isCollection);
    [[nodiscard]] bool Close();
    [[nodiscard]] bool Refuse(Refusal refusal) noexcept;

    TreeBuilder tree_;
    Refusal refusal_ = Refusal::None;
};

}  // namespace Nimbel::internal
