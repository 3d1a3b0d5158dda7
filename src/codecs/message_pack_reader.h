// Reading one MessagePack value into a generic value: the form of request
// bodies of content type "application/x-msgpack" and of MessagePack argument
// texts. There is no writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/binding_status.h"

namespace Nimbel {

/// Reads one MessagePack value from bytes[0..size); the bytes are only read,
/// need no terminator and may hold NUL bytes (`bytes` may be null when `size`
/// is 0).
///
/// Integers become signed (positive fixint and int 8 to 64, sign-extended) or
/// unsigned (uint 8 to 64), floats widen to double, strings and bin data are
/// taken byte for byte without any check of their encoding (string texts, like
/// every text of a value, end at their first NUL), nil leaves its slot as it
/// was, arrays become collections and maps structures. Map keys must be
/// strings. A map or array header keeps a container of the same kind already
/// in its slot: a repeated map key merges into the earlier structure, or
/// overwrites the earlier collection from its first element on.
///
/// Reading stops when the root value is complete or when the bytes run out.
/// `consumed` receives the position where reading stopped, so that the caller
/// can refuse trailing bytes.
///
/// Failure (never an exception for any input): a failed status whose "error"
/// names the byte offset, for an unused or extension type byte, a key that is
/// no string, a field or payload cut short by the end of the input, a
/// container opening more than 1000 levels deep, or a container growing past
/// BindingProperty::kMaxCount items. Input that ends inside a container, with
/// items its header announced still missing, fails with "Invalid MessagePack
/// data. Array of size <n> at position <p> is truncated." (or "Map of size
/// <n> ...", n counting pairs), naming the innermost such container and the
/// position of its type byte. Memory exhaustion still throws std::bad_alloc.
[[nodiscard]] BindingStatus MessagePackToValue(const uint8_t* bytes, size_t size, size_t& consumed);

}  // namespace Nimbel
