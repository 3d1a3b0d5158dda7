#include "diagnostics/local_time.h"

#include "diagnostics/internal/bounded_text.h"

namespace Nimbel {

size_t FormatTime(char* buffer, size_t capacity, const LocalTime& time) noexcept {
    internal::BoundedText text(buffer, capacity);
    text.AppendFormatted("%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month, time.day,
                         time.hour, time.minute, time.second, time.millisecond);
    return text.Size();
}

}  // namespace Nimbel
