// Reading one YAML document into a generic value: the form of request bodies
// of content type "application/x-yaml" and of YAML argument texts. libyaml
// tokenises and parses; this reader decides what each node becomes. There is
// no writer.
#pragma once

#include <cstddef>

#include "binding/binding_status.h"

namespace Nimbel {

/// Reads the one YAML document in text[0..length), as UTF-8 (the text is only
/// read and needs no terminator; `text` may be null when `length` is 0).
///
/// Sequences become collections and mappings structures; a repeated key
/// reuses its member, so a second sequence appends to the first (a second
/// mapping is refused). Keys are taken as written: plain or str-tagged
/// scalars only. Scalar values resolve as internal::ResolveYamlScalar says.
/// An alias becomes a deep copy of its anchored node, or the text of an
/// anchored key (within that key's own mapping too). An empty text, a text of comments only and an
/// empty document give an empty value.
///
/// Failure (never an exception for any input): a failed status whose "error"
/// is one fixed message, with the 1-based line and column of the offending
/// event, or libyaml's problem with its 0-based mark for a syntax error. Refused
/// are: a second document; a key that is a collection, an alias or a scalar
/// tagged other than str; a tag other than str, int, float or bool; an int or
/// float that does not convert; a duplicate anchor; an undefined alias; an
/// alias to a node that is still open; nesting more than 1000 collections and
/// structures deep (counting those an alias copies), which also stops the
/// parser at once; aliases whose copies would create more than 100,000 nodes
/// and more than ten times the nodes written in the document; a collection or
/// structure growing past BindingProperty::kMaxCount items. Memory exhaustion
/// still throws std::bad_alloc.
[[nodiscard]] BindingStatus YamlToValue(const char* text, size_t length);

}  // namespace Nimbel
