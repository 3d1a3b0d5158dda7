// CoreValue records: how values cross the boundary with the core. Flat
// records of machine words with plainly allocated buffers, readable by the core
// and by every plug-in without shared code, and their conversions to and from
// the generic value.
//
// Ownership: a record owns exactly the buffers its kind marks as owned (owned
// texts and blobs, the arrays of collections and structures, the member names
// whose flag is 1). They come from the library's counting allocator and are
// freed by CoreValueRelease. Borrowed texts and blobs belong to whoever filled
// the record and must outlive its use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "abi/core_abi.h"
#include "binding/binding_property.h"
#include "binding/enum_name_lookup.h"

namespace Nimbel {

/// Frees what the record owns, then zeroes it (kind empty).
void CoreValueRelease(CoreValue& value) noexcept;

// Setters: each releases the record first. Copies come from the counting
// allocator; exhausted memory throws std::bad_alloc with the record empty.
void CoreValueSetBool(CoreValue& value, bool flag) noexcept;
void CoreValueSetSigned(CoreValue& value, int64_t number) noexcept;
void CoreValueSetUnsigned(CoreValue& value, uint64_t number) noexcept;
void CoreValueSetDouble(CoreValue& value, double number) noexcept;
/// Kind 6 holding a NUL-terminated copy of `text` (B = its length).
void CoreValueSetOwnedString(CoreValue& value, std::string_view text);
/// Kind 8 holding a copy of the bytes.
void CoreValueSetOwnedBlob(CoreValue& value, const uint8_t* bytes, size_t count);
/// Kind 9 taking ownership of `elements` (from the counting allocator).
void CoreValueSetCollection(CoreValue& value, CoreValue* elements, size_t count) noexcept;
/// Kind 10 taking ownership of `entries` (from the counting allocator).
void CoreValueSetStructure(CoreValue& value, CoreStructEntry* entries, size_t count) noexcept;

// Readers of the 64-bit kinds: word A holds the low 32 bits, word B the high.
[[nodiscard]] uint64_t CoreValueBits(const CoreValue& value) noexcept;

/// "bool", "signed", "unsigned", "float", "string" (5, 6), "blob" (7, 8),
/// "collection", "structure"; the empty text for any other kind, 0 included.
[[nodiscard]] std::string_view CoreValueKindName(KzoWord kind) noexcept;

/// Reports a failure in a core result record: its value is released, its
/// error text becomes an owned copy of `message` and its flag byte 1. An
/// earlier owned error text is freed first.
void CoreResultSetFailure(CoreResponse& result, std::string_view message);

/// Frees the error text of a result record when it owns it.
void CoreResultReleaseError(CoreResponse& result) noexcept;

/// Converts `source` into `target`, naming the root `name` in messages. A kind
/// outside 0 to 10 fails with "Couldn't assign value to '%1' of type object
/// because the input is of an incompatible type '%2'.", reported in `result`
/// (when given); the elements and members converted before it stay. A null
/// text reads as the empty string and a null array as empty, whatever its
/// count. Nesting deeper than 1,000 levels is refused, so a hostile record
/// cannot exhaust the stack.
[[nodiscard]] bool CoreValueToProperty(CoreResponse* result, BindingProperty& target,
                                       const CoreValue& source, std::string_view name);

/// Converts `source` into `target` (released first); never fails. Enum values
/// become their enumerator's name when `enumNames` knows one, else the signed
/// number. Structure members come in name order, each with an owned name.
void PropertyToCoreValue(CoreValue& target, const BindingProperty& source,
                         const EnumNameLookup* enumNames);

} // namespace Nimbel
