// Binding a request's texts, typed values and body to the arguments of an
// endpoint's function: which source may fill which argument, how a dotted key
// reaches into an argument, and how a text becomes a value.
//
// Every function here stops at the first failure: it fails `result` with one
// fixed message and leaves later sources unread. Nothing throws for bad
// input; exhausted memory throws std::bad_alloc.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "abi/core_abi.h"
#include "api/endpoint.h"
#include "binding/binding_function_description.h"
#include "binding/binding_property.h"
#include "binding/binding_status.h"

namespace Nimbel {

/// Texts by name; of a repeated name, the later value.
using NamedTexts = std::map<std::string, std::string>;

/// A function's argument names to their indices; the views point into the
/// function's description.
using ArgumentIndex = std::unordered_map<std::string_view, size_t>;

/// Whether a text fills a whole argument that holds several values (object,
/// vector, struct), which lets its first bytes choose the reader.
enum class TextShape : uint8_t { Scalar, Composite };

[[nodiscard]] ArgumentIndex IndexArguments(const BindingFunctionDescription& function);

/// The request's header pairs, name to value.
[[nodiscard]] NamedTexts HeaderMap(const CoreRequest& request);

/// The request's header pairs by their names in ASCII lower case, since
/// header names are case-insensitive: of names that differ only by case, the
/// later pair's value.
[[nodiscard]] NamedTexts HeaderMapByLowerCaseName(const CoreRequest& request);

/// For each argument that may come from anywhere or from a header, the
/// header whose name equals the argument's without regard to case, keyed by
/// the argument's name: argument accountId takes "accountid", "AccountId" or
/// "ACCOUNTID". `lowerCaseHeaders` is keyed by lower-cased names
/// (HeaderMapByLowerCaseName).
[[nodiscard]] NamedTexts HeaderArguments(const BindingFunctionDescription& function,
                                         const Endpoint& endpoint,
                                         const NamedTexts& lowerCaseHeaders);

/// The query of `path` (the text after its first "?"), split at "&" and each
/// part at its first "=" (none: the whole part names, the value is empty),
/// names and values decoded with UrlDecode. Empty parts ("a=1&&b=2", a
/// trailing "&" or "?") name nothing and are skipped. Empty without a "?".
[[nodiscard]] NamedTexts QueryMap(std::string_view path);

/// Makes `arguments` one empty value per function argument, sets the bool
/// arguments that are not optional to false, then binds the header
/// arguments, the path parameters and the query, in that order, each from its
/// own location.
void BindArguments(BindingStatus& result, std::vector<BindingProperty>& arguments,
                   const BindingFunctionDescription& function, const Endpoint& endpoint,
                   const NamedTexts& query, const NamedTexts& pathParameters,
                   const NamedTexts& headerArguments);

/// Binds `text` under `key` from `location`. The key names the argument up to
/// its first "."; what follows is a path of member names and indices (a
/// segment starting with a digit, read in base 0) into the argument.
/// Failures: "Unknown argument '%1' for '%2'.", "Argument '%1' for '%2' was
/// specified in an invalid location.", "Index %1 is in an incorrect format",
/// "Index %1 is out of range" (at 2^31, or where the value cannot grow that
/// far), "Expected value for argument '%1'." (an empty text for an argument
/// that is not bool, object, struct or vector), and DecodeArgumentText's.
void BindArgument(BindingStatus& result, std::vector<BindingProperty>& arguments,
                  const ArgumentIndex& index, const BindingFunctionDescription& function,
                  const Endpoint& endpoint, std::string_view key, std::string_view text,
                  std::string_view contentType, ArgLocation location);

/// Reads `text` into `target` as MessagePack, JSON or YAML when the content
/// type says so or, for a composite text without content type, when its first
/// bytes do; as a blob for "application/octet-stream"; otherwise as a string.
/// A reader's failure fails with "Couldn't deserialize <format> value for
/// parameter '%1' of '%2': %3". A text read as JSON, YAML or a string must not
/// hold a NUL, which would silently cut it: "Argument '%1' holds a NUL
/// character." (MessagePack and octet-stream texts are bytes and may).
void DecodeArgumentText(BindingStatus& result, BindingProperty& target,
                        const BindingFunctionDescription& function,
                        const BindingArgumentDescription& argument, std::string_view text,
                        std::string_view contentType, TextShape shape);

/// Binds the request's typed arguments: one with a name to the argument of
/// that name, one without to argument i + `pathParameterCount` (i its position
/// among all typed arguments). Fails with "Unknown argument '%1' for '%2'."
/// or the value conversion's message.
void BindTypedArguments(BindingStatus& result, std::vector<BindingProperty>& arguments,
                        const BindingFunctionDescription& function, const CoreRequest& request,
                        size_t pathParameterCount);

/// Gives the request's body to the first argument the endpoint takes from the
/// body; nothing without a body or such an argument. The body is bytes[0..size)
/// and never read beyond. MessagePack bodies must be one value ("Extra
/// MessgePack data found in body"); JSON and YAML bodies are texts without
/// NUL ("The body holds a NUL character at offset %1.", the offset of the
/// first); other content types fail with "Unsupported body content type".
void BindBody(BindingStatus& result, std::vector<BindingProperty>& arguments,
              const Endpoint& endpoint, const CoreRequest& request);

}  // namespace Nimbel
