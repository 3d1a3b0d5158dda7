// The value comparisons of the fuzz targets, one walk for both modes.
#include "support/value_equivalence.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>

#include "codecs/internal/utf8_text.h"

namespace Nimbel::fuzz {
namespace {

enum class Mode { Exact, JsonRoundTrip };

[[nodiscard]] std::string AsWritten(std::string_view text) {
    return internal::ReplaceInvalidUtf8(text);
}

[[nodiscard]] bool SameBits(double left, double right) noexcept {
    if (std::isnan(left) && std::isnan(right)) return true;
    return std::bit_cast<uint64_t>(left) == std::bit_cast<uint64_t>(right);
}

// The kinds whose JSON reads back as a different kind.
[[nodiscard]] bool SameAsRewritten(const BindingProperty& original, const BindingProperty& reread) {
    switch (original.Kind()) {
        case BindingPropertyKind::Float:
            if (std::isfinite(original.GetDouble())) {
                return reread.Kind() == BindingPropertyKind::Float &&
                       SameBits(original.GetDouble(), reread.GetDouble());
            }
            return reread.IsEmpty();
        case BindingPropertyKind::Blob:
            return reread.Kind() == BindingPropertyKind::String &&
                   reread.GetString() == original.ToString();
        case BindingPropertyKind::Enum: {
            const int32_t value = original.GetEnum().value;
            if (value < 0)
                return reread.Kind() == BindingPropertyKind::Signed && reread.GetSigned() == value;
            return reread.Kind() == BindingPropertyKind::Unsigned &&
                   reread.GetUnsigned() == static_cast<uint64_t>(value);
        }
        case BindingPropertyKind::String:
            return reread.Kind() == BindingPropertyKind::String &&
                   reread.GetString() == AsWritten(original.GetString());
        case BindingPropertyKind::Signed:
            if (original.GetSigned() >= 0) {
                return reread.Kind() == BindingPropertyKind::Unsigned &&
                       reread.GetUnsigned() == static_cast<uint64_t>(original.GetSigned());
            }
            return reread.Kind() == BindingPropertyKind::Signed &&
                   reread.GetSigned() == original.GetSigned();
        default:
            return false;
    }
}

[[nodiscard]] bool Same(const BindingProperty& left, const BindingProperty& right, Mode mode);

[[nodiscard]] bool SameElements(const BindingProperty& left, const BindingProperty& right,
                                Mode mode) {
    const auto a = left.Elements();
    const auto b = right.Elements();
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!Same(a[i], b[i], mode)) return false;
    }
    return true;
}

// Member names written with U+FFFD for ill-formed UTF-8 sort anew, and names
// that become equal read back as one repeated key: each original member is
// then only required to have a member under its written name.
[[nodiscard]] bool SameRewrittenMembers(const BindingProperty& original,
                                        const BindingProperty& reread) {
    std::set<std::string> names;
    bool merged = false;
    for (const BindingMember& member : original.Members()) {
        merged = !names.insert(AsWritten(member.Name())).second || merged;
    }
    if (names.size() != reread.Size()) return false;
    for (const BindingMember& member : original.Members()) {
        const BindingProperty* found = reread.FindMember(AsWritten(member.Name()));
        if (found == nullptr) return false;
        if (!merged && !Same(member.Value(), *found, Mode::JsonRoundTrip)) return false;
    }
    return true;
}

[[nodiscard]] bool SameMembers(const BindingProperty& left, const BindingProperty& right,
                               Mode mode) {
    if (mode == Mode::JsonRoundTrip && right.Kind() == BindingPropertyKind::Structure) {
        for (const BindingMember& member : left.Members()) {
            if (internal::ValidUtf8Length(member.Name()) != member.Name().size()) {
                return SameRewrittenMembers(left, right);
            }
        }
    }
    const auto a = left.Members();
    const auto b = right.Members();
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].Name() != b[i].Name() || !Same(a[i].Value(), b[i].Value(), mode)) return false;
    }
    return true;
}

bool Same(const BindingProperty& left, const BindingProperty& right, Mode mode) {
    if (mode == Mode::JsonRoundTrip) {
        switch (left.Kind()) {
            case BindingPropertyKind::Float:
            case BindingPropertyKind::String:
            case BindingPropertyKind::Blob:
            case BindingPropertyKind::Enum:
            case BindingPropertyKind::Signed:
                return SameAsRewritten(left, right);
            default:
                break;
        }
    }
    if (left.Kind() != right.Kind()) return false;
    switch (left.Kind()) {
        case BindingPropertyKind::Empty:
            return true;
        case BindingPropertyKind::Bool:
            return left.GetBool() == right.GetBool();
        case BindingPropertyKind::Signed:
            return left.GetSigned() == right.GetSigned();
        case BindingPropertyKind::Unsigned:
            return left.GetUnsigned() == right.GetUnsigned();
        case BindingPropertyKind::Float:
            return SameBits(left.GetDouble(), right.GetDouble());
        case BindingPropertyKind::String:
            return left.GetString() == right.GetString();
        case BindingPropertyKind::Blob:
            return left.GetBytes() == right.GetBytes();
        case BindingPropertyKind::Enum:
            return left.GetEnum() == right.GetEnum();
        case BindingPropertyKind::Collection:
            return SameElements(left, right, mode);
        case BindingPropertyKind::Structure:
            return SameMembers(left, right, mode);
    }
    return false;
}

}  // namespace

bool SameValue(const BindingProperty& left, const BindingProperty& right) {
    return Same(left, right, Mode::Exact);
}

bool SameAfterJsonRoundTrip(const BindingProperty& original, const BindingProperty& reread) {
    return Same(original, reread, Mode::JsonRoundTrip);
}

}  // namespace Nimbel::fuzz
