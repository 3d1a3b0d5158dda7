// The English text of each JSON reader error code, as failure messages quote it.
#pragma once

namespace Nimbel::internal {

/// The text for RapidJSON's parse error `code` (0 to 17), "Unknown error."
/// for any other number. Static storage.
[[nodiscard]] const char* JsonParseErrorText(unsigned code) noexcept;

}  // namespace Nimbel::internal
