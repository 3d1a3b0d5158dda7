// The plainest reading of JSON into a generic value, as an oracle for the
// fuzz targets: each value is stored the moment it arrives, with no attempt
// at speed, so a faster reader can be checked against it.
#pragma once

#include "binding/binding_property.h"

namespace Nimbel::fuzz {

/// Reads `text` (NUL-terminated) into `out` by the reader's rules (null
/// leaves its node, a repeated key reuses its member, numbers by sign and
/// size, blank text empty) with RapidJSON's grammar and the C library's
/// correctly rounded number conversions. Returns whether
/// the text was accepted. Has no nesting limit: call it only on text that the real reader
/// accepted.
[[nodiscard]] bool ReadJsonForReference(const char* text, BindingProperty& out);

}  // namespace Nimbel::fuzz
