// Filling the core's response record from a request's outcome, and the
// release function the core calls when it has read the record.
//
// Ownership: the texts, header pairs and value the record points at are
// copies from the library's counting allocator, owned by the record and freed
// by its release function (ReleaseResponse, or ReleaseResponseWithValueBlock
// once an answer's value was written as one block); a stream handle belongs to the record until the
// core closes it through the record's close function.
#pragma once

#include <cstdint>
#include <string_view>

#include "abi/core_abi.h"
#include "api/call_result.h"
#include "binding/enum_name_lookup.h"

namespace Nimbel::internal {

/// The release function of a record whose value is per node: frees the value
/// node by node, the owned error text (never the shared internal-error text),
/// the text unless it is the shared empty one, and the header pairs, then
/// zeroes all of the record. It never reads the record's release field, which
/// the core may have cleared before the call.
void ReleaseResponse(CoreResponse* response) noexcept;
/// The release function of a record whose value FillResponse wrote as one
/// block (PropertyToCoreValueBlock); otherwise as ReleaseResponse.
void ReleaseResponseWithValueBlock(CoreResponse* response) noexcept;

/// Zeroes the record (dropping whatever it held without freeing it), makes its
/// text the shared empty text and its release function ReleaseResponse.
void ResetResponse(CoreResponse& response) noexcept;

/// An error answer: an owned copy of `message` as the error text, `status`.
/// Exhausted memory throws std::bad_alloc with the record still releasable.
void AnswerError(CoreResponse& response, uint32_t status, std::string_view message);

/// Frees what the record holds (closing a stream it was given) and answers
/// status 500 with the error flag set and "Internal server error" as a shared
/// text, without allocating, so that it holds while memory is short. For failures
/// nothing else may be done about: a handler that threw, exhausted memory.
void AnswerInternalError(CoreResponse& response) noexcept;

/// Writes `result` into the record: its failure as the error text, or its
/// value as a CoreValue in one block, with ReleaseResponseWithValueBlock as
/// the release function (enumerators by name where `enumNames` knows them);
/// then the flag byte, the kind (1 to 3, else 0), the status, the text, the
/// headers and the stream, whose ownership passes to the record. Exhausted
/// memory throws std::bad_alloc with the record still releasable.
void FillResponse(CoreResponse& response, CallResult& result, const EnumNameLookup* enumNames);

}  // namespace Nimbel::internal
