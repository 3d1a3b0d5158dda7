// What a YAML scalar becomes in a generic value: its tag decides, and plain
// scalars without a tag are resolved from their text (null words, numbers,
// bool words, else a string).
#pragma once

#include <string_view>

#include "binding/binding_status.h"

namespace Nimbel::internal {

/// A scalar as the parser reports it.
struct YamlScalar {
    std::string_view text;      ///< all bytes of the scalar; text.data()[text.size()] is NUL
    const char* tag = nullptr;  ///< the expanded tag ("tag:yaml.org,2002:int"), or null
    bool quoted = false;        ///< written in single or double quotes
};

/// Whether a mapping key may carry `tag`: none, or the str tag.
[[nodiscard]] bool IsStringKeyTag(const char* tag) noexcept;

/// Stores the value of `scalar` in `target`:
/// - str tag: the text; int tag: a signed (text starting with "-") or
///   unsigned 64-bit integer, read with base detection; float tag: a finite
///   double; bool tag: true or false for a bool word, else empty;
/// - no tag, quoted: the text;
/// - no tag, plain or block style: empty for "", "~", "null", "Null",
///   "NULL"; a number when strtod, in the "C" locale whatever the process's,
///   reads the whole text as a finite value
///   (float when it has a fraction, else signed when negative and unsigned
///   otherwise; integers written in decimal or hexadecimal digits are read
///   exactly, and integral values beyond 64 bits stay float); true or false
///   for a bool word ("true", "y", "yes", "on", ... in three spellings);
///   else the text.
/// Failure: an int or float tag whose text does not convert, or any other
/// tag, sets `status`'s error, which clears the whole output value: `target`
/// must not be used afterwards.
void ResolveYamlScalar(const YamlScalar& scalar, BindingProperty& target, BindingStatus& status);

}  // namespace Nimbel::internal
