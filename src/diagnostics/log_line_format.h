// Turns a log entry into one line of text by a line format of #-codes.
//
//   #D  the entry's local time, "%04d-%02d-%02dT%02d:%02d:%02d.%03d"
//   #E  the executable's file name
//   #G  the entry's group codes, lowest bit first, joined with ";"
//   #H  seconds since the first #H of the process, "%06d.%03d"
//   #L  the level name, six characters wide
//   #M  the message text
//   #T  the calling thread's id, printed with "%p"
//   #x  for any other character x, x itself (so "##" writes "#"); a "#" that
//       ends the format is written as it is
#pragma once

#include <cstddef>

#include "diagnostics/log_entry.h"

namespace Nimbel {

/// Writes the line for `entry` into `buffer`. The text is cut so that it, one
/// newline and the terminating NUL fit `capacity`; the line then ends with
/// exactly one newline added by this function, unless the text already ends
/// with one. A capacity below 2 leaves no room for a line: the buffer then
/// holds the empty text (capacity 1) or is not touched (capacity 0). A null
/// format counts as empty. Returns the line's length, not counting the NUL.
size_t FormatLine(char* buffer, size_t capacity, const char* format,
                  const LogEntry& entry) noexcept;

}  // namespace Nimbel
