#include "diagnostics/log_line_format.h"

#include <cinttypes>
#include <cstdint>

#include "diagnostics/internal/bounded_text.h"
#include "diagnostics/internal/elapsed_clock.h"
#include "diagnostics/internal/executable_name.h"
#include "diagnostics/internal/thread_identity.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"

namespace Nimbel {
namespace {

// Room for the longest #G text: 64 codes of three characters and their
// separators.
constexpr size_t kGroupTextCapacity = size_t{64} * 4;
constexpr size_t kTimeTextCapacity = 32;

void AppendElapsed(internal::BoundedText& text) {
    const double seconds = internal::SecondsSinceFirstElapsedReading();
    const auto wholeSeconds = static_cast<int64_t>(seconds);
    const auto milliseconds = static_cast<int64_t>(seconds * 1000.0) % 1000;
    text.AppendFormatted("%06" PRId64 ".%03" PRId64, wholeSeconds, milliseconds);
}

void AppendCode(internal::BoundedText& text, char code, const LogEntry& entry) {
    switch (code) {
        case 'D': {
            char time[kTimeTextCapacity];
            FormatTime(time, sizeof time, entry.time);
            text.Append(time);
            break;
        }
        case 'E':
            text.Append(internal::ProcessExecutableName());
            break;
        case 'G': {
            char groups[kGroupTextCapacity];
            GroupsToText(groups, sizeof groups, entry.groups);
            text.Append(groups);
            break;
        }
        case 'H':
            AppendElapsed(text);
            break;
        case 'L':
            text.Append(LevelName(entry.level));
            break;
        case 'M':
            text.Append(entry.message);
            break;
        case 'T': {
            // The id printed as an address keeps the line shape other tools of
            // the platform parse.
            const uintptr_t id = internal::CurrentThreadId();
            text.AppendFormatted("%p", reinterpret_cast<void*>(id));
            break;
        }
        default:
            text.Append(code);
            break;
    }
}

}  // namespace

size_t FormatLine(char* buffer, size_t capacity, const char* format,
                  const LogEntry& entry) noexcept {
    if (capacity == 0) return 0;
    if (capacity == 1) {
        buffer[0] = '\0';
        return 0;
    }
    // One place is kept back for the newline.
    internal::BoundedText text(buffer, capacity - 1);
    for (const char* cursor = format == nullptr ? "" : format; *cursor != '\0'; ++cursor) {
        if (*cursor != '#') {
            text.Append(*cursor);
        } else if (cursor[1] == '\0') {
            text.Append('#');
        } else {
            AppendCode(text, *++cursor, entry);
        }
    }
    size_t length = text.Size();
    if (text.Last() != '\n') {
        buffer[length++] = '\n';
        buffer[length] = '\0';
    }
    return length;
}

}  // namespace Nimbel
