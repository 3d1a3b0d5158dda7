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

/// Frees what the record owns, then zeroes it (kind empty). Recursive, like
/// the conversions: it releases only records the plug-in made itself.
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

/// The deepest nesting of collections and structures that CoreValueToProperty
/// accepts, counted as the readers of JSON, MessagePack and YAML count theirs:
/// a root collection or structure is at depth 1.
///
/// Values are copied, converted, released and destroyed recursively, one
/// stack frame or a few per level. Every tree or record that input from
/// outside the process can shape is bounded by this depth (or the readers'
/// equal one) where it is read, so no later walk of it needs more stack than
/// a thousand levels take; trees built by the plug-in's own code are as deep
/// as that code makes them.
inline constexpr size_t kMaxCoreValueDepth = 1000;

/// Converts `source` into `target`, naming the root `name` in messages; false
/// when the record is refused, with the message reported in `result` (when
/// given) and the elements and members converted before the refusal left in
/// `target`. Refused, each with its fixed message, before any element of the
/// offending record is read:
/// - a kind outside 0 to 10: "Couldn't assign value to '%1' of type object
///   because the input is of an incompatible type '%2'." (%2 the empty text);
/// - a collection or structure whose count is above BindingProperty::kMaxCount,
///   or a blob whose count no byte array can have: "Couldn't assign value to
///   '%1' because the input %2 has a count of %3, more than the limit of %4."
///   (%2 the kind name);
/// - a collection, structure or blob with a count but a null pointer:
///   "Couldn't assign value to '%1' because the input %2 has a count of %3 but
///   a null pointer.";
/// - a collection or structure deeper than kMaxCoreValueDepth: "Couldn't assign
///   value to '%1' because the input is nested deeper than %2 levels."
/// A null text reads as the empty string. Beyond these checks the pointers and
/// counts of a record are trusted. Exhausted memory throws std::bad_alloc.
[[nodiscard]] bool CoreValueToProperty(CoreResponse* result, BindingProperty& target,
                                       const CoreValue& source, std::string_view name);

/// Converts `source` into `target` (released first); never fails. Enum values
/// become their enumerator's name when `enumNames` knows one, else the signed
/// number. Structure members come in name order, each with an owned name.
/// Recursive: see kMaxCoreValueDepth for the depths it meets. Exhausted memory
/// throws std::bad_alloc, with what was converted so far owned by `target`.
void PropertyToCoreValue(CoreValue& target, const BindingProperty& source,
                         const EnumNameLookup* enumNames);

/// Converts `source` into `target` (released first) as PropertyToCoreValue
/// does, record for record and flag for flag, but with every buffer the
/// record owns (arrays, member names, texts, blob bytes) placed in one block
/// from the counting allocator: one allocation for a whole answer instead of
/// one per structure, member name, text and collection. The block begins with
/// the root's own buffer (word A), so CoreValueReleaseBlock frees all of it at
/// once. Such a record must be released with CoreValueReleaseBlock, never with
/// CoreValueRelease, which would free its inner buffers one by one. Exhausted
/// memory throws std::bad_alloc with `target` empty.
void PropertyToCoreValueBlock(CoreValue& target, const BindingProperty& source,
                              const EnumNameLookup* enumNames);

/// Frees the one block of a record made by PropertyToCoreValueBlock, then
/// zeroes the record (kind empty).
void CoreValueReleaseBlock(CoreValue& value) noexcept;

}  // namespace Nimbel
